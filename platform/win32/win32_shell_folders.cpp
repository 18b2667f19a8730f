#include "platform/win32/win32_shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/text_codec.h"

namespace velmora {

std::optional<std::string> Win32ShellFolders::documentsFolder() {
    // The shell writes up to MAX_PATH characters, whatever buffer it is given. The path itself,
    // not an item list that COM's allocator would have to free: COM stays unloaded at start.
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == L'\0') {
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

namespace {

using GetFolderPathCall = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

}  // namespace

// <local application data>\Velmora, or empty. Windows 2000 has SHGetFolderPathW only in
// shfolder.dll, which every later Windows keeps; it is loaded by its full path in the system
// folder, so that no copy in the current folder can stand in for it.
std::wstring velmoraLocalDataFolder() {
    const std::optional<std::string> system = Win32ShellFolders().systemFolder();
    if (!system) {
        return {};
    }
    HMODULE library =
        LoadLibraryExW((widen(*system) + L"\\shfolder.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) {
        return {};
    }
    std::wstring folder;
    const auto getFolderPath =
        reinterpret_cast<GetFolderPathCall>(reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathW")));
    wchar_t path[MAX_PATH] = {};
    if (getFolderPath != nullptr &&
        SUCCEEDED(getFolderPath(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)) &&
        path[0] != L'\0') {
        folder = std::wstring(path) + L"\\Velmora";
    }
    (void)FreeLibrary(library);
    return folder;
}

std::optional<std::string> Win32ShellFolders::localDataFolder() {
    const std::wstring folder = velmoraLocalDataFolder();
    if (folder.empty()) {
        return std::nullopt;
    }
    (void)CreateDirectoryW(folder.c_str(), nullptr);
    return narrow(folder);
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
