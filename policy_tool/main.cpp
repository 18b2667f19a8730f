// velmora-ipsec.exe: the policy tool velmora.exe starts from Windows Vista on, where neither
// ipsecpol nor ipseccmd exists. It takes their arguments for one rule and stores that rule
// through the system's `netsh ipsec static`, out of sight (a program without a window that
// starts netsh without one).
#include <windows.h>

#include <string>
#include <vector>

#include "core/ipsec/policy_tool.h"
#include "platform/win32/command_line_arguments.h"
#include "platform/win32/named_mutex_lock.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell_folders.h"
#include "platform/win32/win32_tool_runner.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    velmora::restrictDllSearchToSystemFolder();
    const std::vector<std::string> args = velmora::commandLineArguments();
    // velmora.exe starts the second rule's run once the first has ended; held for the whole run,
    // this keeps the rules' steps of any two callers from interleaving.
    const velmora::NamedMutexLock lock(L"velmora-ipsec-policy");
    // netsh from the system itself, never one found by name: the native one, whose ipsec context
    // is there on 64-bit Windows too.
    const auto system = velmora::nativeSystemFolder();
    velmora::Win32ToolRunner tools(system ? *system + "\\netsh.exe" : std::string());
    velmora::Win32Registry registry;
    return velmora::runPolicyTool(args, tools, registry);
}
