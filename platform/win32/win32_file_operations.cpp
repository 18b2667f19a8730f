#include "platform/win32/win32_file_operations.h"

#include <windows.h>

#include <vector>

#include "platform/win32/text_codec.h"

namespace velmora {

std::string Win32FileOperations::programFolder() {
    const std::string path = programPath();
    return path.substr(0, path.find_last_of('\\'));
}

std::string Win32FileOperations::programPath() {
    // The module path may be longer than MAX_PATH; grow until it fits.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            return narrow(std::wstring(path.data(), length));
        }
        path.resize(path.size() * 2);
    }
}

bool Win32FileOperations::normalFileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

void Win32FileOperations::renameFile(const std::string& from, const std::string& to) {
    (void)MoveFileW(widen(from).c_str(), widen(to).c_str());
}

bool Win32FileOperations::removeFile(const std::string& path) {
    return DeleteFileW(widen(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace velmora
