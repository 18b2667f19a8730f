#include "platform/win32/system_library.h"

#include <windows.h>

namespace velmora {

SystemLibrary::~SystemLibrary() {
    if (module_ != nullptr) {
        (void)FreeLibrary(static_cast<HMODULE>(module_));
    }
}

SystemLibrary::Address SystemLibrary::address(const char* name) {
    if (!loadTried_) {
        loadTried_ = true;
        wchar_t folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length != 0 && length < MAX_PATH) {
            // By full path, and what the library itself imports looked for in its own folder first.
            const std::wstring path = folder + (L"\\" + fileName_);
            module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        }
    }
    if (module_ == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Address>(GetProcAddress(static_cast<HMODULE>(module_), name));
}

void restrictDllSearchToSystemFolder() {
    // Older systems lack the functions; there the full paths of the libraries loaded late are
    // what keeps the program's own and the current folder out.
    using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);
    using SetDllDirectoryFunction = BOOL WINAPI(LPCWSTR);
    SystemLibrary kernel32(L"kernel32.dll");
    if (auto* setDefault = kernel32.function<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories")) {
        (void)setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    if (auto* setDllDirectory = kernel32.function<SetDllDirectoryFunction>("SetDllDirectoryW")) {
        // An empty folder takes the current one out of the search; should that fail, the
        // libraries loaded late still come from the system folder by full path.
        (void)setDllDirectory(L"");
    }
}

}  // namespace velmora
