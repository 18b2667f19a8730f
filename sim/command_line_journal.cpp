#include "sim/command_line_journal.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "sim/sim_state.h"

namespace velmora::sim {

void journalCommandLine() {
    appendJournal(narrow(GetCommandLineW()));
}

}  // namespace velmora::sim
