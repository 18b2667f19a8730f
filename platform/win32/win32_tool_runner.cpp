#include "platform/win32/win32_tool_runner.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

// The tools are started by bare name, so Windows' search finds them: the program's own folder,
// the current folder, then the system folder. A 32-bit program on 64-bit Windows is sent from
// System32 to SysWOW64 there, which holds 32-bit copies of rasdial, route, ping and netsh; they
// drive the same services, and the keys they change (the RasMan parameters under HKLM\SYSTEM,
// the IPsec policy store under HKLM\SOFTWARE\Policies) are shared by both registry views.
int Win32ToolRunner::runHidden(const std::string& commandLine) {
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // A console tool started from a program without a console would get a console window of its
    // own; CREATE_NO_WINDOW gives it none.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info)) {
        return kCannotStart;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &status)) {
        return kCannotStart;
    }
    return static_cast<int>(status);
}

}  // namespace velmora
