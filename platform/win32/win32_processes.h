// Processes over CreateProcessW, with the program to run always named.
#pragma once

#include "platform/processes.h"

namespace velmora {

class Win32Processes : public Processes {
public:
    // A hidden run shows nothing: a console tool started from a program without a console would
    // get a console window of its own, CREATE_NO_WINDOW gives it none. A shown one gets its
    // window in its default way.
    std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& commandLine,
                                          Window window) override;
    // Without User Account Control's split (Windows 2000 and XP, or with it turned off) this
    // program's rights are the user's, and the program is started as any other.
};

// Starts the program hidden, as above, waits for it to end without dispatching messages and
// returns its exit status; nothing when it could not be started or waited for.
std::optional<std::uint32_t> runHiddenToEnd(const std::string& program, const std::string& commandLine);

}  // namespace velmora
