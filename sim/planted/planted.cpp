// A program planted where velmora.exe must never look for one of its tools (the folder it was
// started from): journals "planted: " and its command line, so a test sees it if it ever runs.
#include <windows.h>

#include "platform/win32/text_codec.h"
#include "sim/sim_state.h"

int main() {
    velmora::sim::appendJournal("planted: " + velmora::narrow(GetCommandLineW()));
    return 0;
}
