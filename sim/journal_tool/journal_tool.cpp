// Stand-in for the tools whose only visible effect the tests need is their command line:
// built as route.exe, ping.exe and notepad.exe.
#include "sim/command_line_journal.h"

int main() {
    velmora::sim::journalCommandLine();
    return 0;
}
