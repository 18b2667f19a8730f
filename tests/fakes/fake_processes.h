// Processes in memory: records each command line; a test can act out what the child does.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace velmora::testing {

class FakeProcesses : public Processes {
public:
    std::optional<std::uint32_t> runAndWait(const std::string& commandLine) override {
        waited.push_back(commandLine);
        if (onRun) {
            onRun(commandLine);
        }
        return exitStatus;
    }
    void startHidden(const std::string& commandLine) override { started.push_back(commandLine); }

    std::vector<std::string> waited;
    std::vector<std::string> started;
    // Runs inside runAndWait, as the child would: e.g. bring a connection up.
    std::function<void(const std::string&)> onRun;
    // What runAndWait reports: the child's exit status, or nothing for a child that never started.
    std::optional<std::uint32_t> exitStatus = 0u;
};

}  // namespace velmora::testing
