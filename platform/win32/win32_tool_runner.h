// ToolRunner over CreateProcessW, for console tools started from a program without a console.
#pragma once

#include "platform/tool_runner.h"

namespace velmora {

class Win32ToolRunner : public ToolRunner {
public:
    int runHidden(const std::string& commandLine) override;
};

}  // namespace velmora
