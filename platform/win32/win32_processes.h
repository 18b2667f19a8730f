// Processes over CreateProcessW.
#pragma once

#include "platform/processes.h"

namespace velmora {

// Starts the command line and waits for it to end: its exit status, or nothing when it could
// not be started or waited for. A hidden run shows nothing: a console tool started from a
// program without a console would get a console window of its own, CREATE_NO_WINDOW gives it
// none. Otherwise the child shows its window, if it has one, in its default way (rasdial's
// console).
std::optional<std::uint32_t> runToEnd(const std::string& commandLine, bool hidden);

class Win32Processes : public Processes {
public:
    std::optional<std::uint32_t> runAndWait(const std::string& commandLine) override;
    void startHidden(const std::string& commandLine) override;
};

}  // namespace velmora
