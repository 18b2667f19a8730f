// Stand-in for the old policy tools, built as ipsecpol.exe and ipseccmd.exe: journals its line and
// ends with 0, after the time the scenario gives, so that a test can act while a run is under way.
#include <windows.h>

#include "sim/command_line_journal.h"
#include "sim/sim_state.h"

int main() {
    velmora::sim::journalCommandLine();
    Sleep(static_cast<DWORD>(velmora::sim::loadPolicyToolSeconds()) * 1000);
    return 0;
}
