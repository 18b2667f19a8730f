#include "platform/win32/win32_shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/text_codec.h"

namespace velmora {

std::optional<std::string> Win32ShellFolders::documentsFolder() {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &items)) || items == nullptr) {
        return std::nullopt;
    }
    // The shell writes up to MAX_PATH characters, whatever buffer it is given.
    wchar_t path[MAX_PATH] = {};
    const BOOL converted = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    if (!converted) {
        return std::nullopt;
    }
    return narrow(path);
}

std::optional<std::string> Win32ShellFolders::systemFolder() {
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::nullopt;
    }
    return narrow(path);
}

std::optional<std::string> nativeSystemFolder() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        const std::wstring sysnative = std::wstring(windows) + L"\\Sysnative";
        const DWORD attributes = GetFileAttributesW(sysnative.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return narrow(sysnative);
        }
    }
    return Win32ShellFolders().systemFolder();
}

}  // namespace velmora
