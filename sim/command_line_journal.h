// The stand-in tools' first act: the command line exactly as the caller composed it, as one
// journal line.
#pragma once

namespace velmora::sim {

// Appends GetCommandLineW, as UTF-8, to the journal.
void journalCommandLine();

}  // namespace velmora::sim
