// Processes over CreateProcessW.
#pragma once

#include "platform/processes.h"

namespace velmora {

class Win32Processes : public Processes {
public:
    std::optional<std::uint32_t> runAndWait(const std::string& commandLine) override;
    void startHidden(const std::string& commandLine) override;
};

}  // namespace velmora
