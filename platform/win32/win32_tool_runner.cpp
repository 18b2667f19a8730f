#include "platform/win32/win32_tool_runner.h"

#include "platform/win32/win32_processes.h"

namespace velmora {

int Win32ToolRunner::runHidden(const std::string& commandLine) {
    const std::optional<std::uint32_t> status = runHiddenToEnd(program_, commandLine);
    return status ? static_cast<int>(*status) : kCannotStart;
}

}  // namespace velmora
