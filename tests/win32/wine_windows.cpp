#include "tests/win32/wine_windows.h"

namespace velmora::testing {

namespace {

std::optional<std::wstring> readText(HKEY root, const std::wstring& key, const std::wstring& name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::optional<std::wstring>(buffer) : std::nullopt;
}

// Writes the text value, or deletes it when value is null.
void writeText(HKEY root, const std::wstring& key, const std::wstring& name, const wchar_t* value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    if (value == nullptr) {
        RegDeleteValueW(handle, name.c_str());
    } else {
        RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(handle);
}

constexpr const wchar_t* kWineKey = L"Software\\Wine";
constexpr const wchar_t* kVersionKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

}  // namespace

WineReportsWindows::WineReportsWindows(const std::wstring& program, const WindowsRelease& release) {
    // Wine takes a program's version from its AppDefaults, else from its own default, else from
    // the registry's version values (in the view of the program's bitness, here 32-bit).
    set(HKEY_CURRENT_USER, std::wstring(kWineKey) + L"\\AppDefaults\\" + program, L"Version", release.wineVersion);
    if (release.wineVersion != nullptr) {
        return;
    }
    set(HKEY_CURRENT_USER, kWineKey, L"Version", nullptr);
    set(HKEY_LOCAL_MACHINE, kVersionKey, L"CurrentVersion", release.currentVersion);
    set(HKEY_LOCAL_MACHINE, kVersionKey, L"CSDVersion", release.servicePack);
    set(HKEY_LOCAL_MACHINE, kVersionKey, L"CurrentBuildNumber", release.build);
}

WineReportsWindows::~WineReportsWindows() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        writeText(it->root, it->key, it->name, it->value ? it->value->c_str() : nullptr);
    }
}

void WineReportsWindows::set(HKEY root, const std::wstring& key, const std::wstring& name, const wchar_t* value) {
    saved_.push_back({root, key, name, readText(root, key, name)});
    writeText(root, key, name, value);
}

}  // namespace velmora::testing
