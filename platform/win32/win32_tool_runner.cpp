#include "platform/win32/win32_tool_runner.h"

#include "platform/win32/win32_processes.h"

namespace velmora {

// The tools are started by bare name, so Windows' search finds them: the program's own folder,
// the current folder, then the system folder. A 32-bit program on 64-bit Windows is sent from
// System32 to SysWOW64 there, which holds 32-bit copies of rasdial, route, ping and netsh; they
// drive the same services, and the keys they change (the RasMan parameters under HKLM\SYSTEM,
// the IPsec policy store under HKLM\SOFTWARE\Policies) are shared by both registry views.
int Win32ToolRunner::runHidden(const std::string& commandLine) {
    const std::optional<std::uint32_t> status = runToEnd(commandLine, true);
    return status ? static_cast<int>(*status) : kCannotStart;
}

}  // namespace velmora
