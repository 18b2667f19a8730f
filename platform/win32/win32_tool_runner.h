// ToolRunner over CreateProcessW, for a console tool started from a program without a console.
#pragma once

#include <string>

#include "platform/tool_runner.h"

namespace velmora {

class Win32ToolRunner : public ToolRunner {
public:
    // Every run starts this program (a full path); the command line names it as its first word.
    explicit Win32ToolRunner(std::string program) : program_(std::move(program)) {}

    int runHidden(const std::string& commandLine) override;

private:
    std::string program_;
};

}  // namespace velmora
