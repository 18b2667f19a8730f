#include "platform/win32/win32_text_viewer.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/win32_shell_folders.h"

namespace velmora {

void Win32TextViewer::show(const std::string& path) {
    const std::optional<std::string> systemFolder = Win32ShellFolders().systemFolder();
    if (!systemFolder) {
        return;
    }
    const std::wstring system = widen(*systemFolder);
    const std::wstring notepad = system + L"\\notepad.exe";
    std::wstring line = L"\"" + notepad + L"\" \"" + widen(path) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Notepad inherits this program's rights: it runs in the system folder, so that the DLLs it
    // loads come from there and never from whatever folder this program was started in.
    if (!CreateProcessW(notepad.c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        system.c_str(), &startup, &info)) {
        return;
    }
    (void)CloseHandle(info.hThread);
    (void)CloseHandle(info.hProcess);
}

}  // namespace velmora
