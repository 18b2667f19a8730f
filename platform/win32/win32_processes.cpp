#include "platform/win32/win32_processes.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

std::optional<std::uint32_t> Win32Processes::runAndWait(const std::string& commandLine) {
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // The child shows its window, if it has one, in its default way (rasdial's console).
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
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
