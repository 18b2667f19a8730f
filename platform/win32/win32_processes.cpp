#include "platform/win32/win32_processes.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

std::optional<std::uint32_t> runToEnd(const std::string& commandLine, bool hidden) {
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    const DWORD flags = hidden ? CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, hidden ? FALSE : TRUE, flags, nullptr, nullptr,
                        &startup, &info)) {
        return std::nullopt;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &status)) {
        return std::nullopt;
    }
    return status;
}

std::optional<std::uint32_t> Win32Processes::runAndWait(const std::string& commandLine) {
    return runToEnd(commandLine, false);
}

void Win32Processes::startHidden(const std::string& commandLine) {
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &info)) {
        return;
    }
    // Nobody waits for the child: let go of it at once, or a program that lives for weeks in
    // the tray leaks two handles for every route command.
    (void)CloseHandle(info.hThread);
    (void)CloseHandle(info.hProcess);
}

}  // namespace velmora
