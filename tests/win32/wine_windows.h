// Makes Wine report a chosen Windows to one program of the tests, and puts the registry back
// afterwards: Wine gives each program its version when it starts.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

struct WindowsRelease {
    const wchar_t* wineVersion;  // Wine's name for it, or null for a release Wine has no name for
    // For those, what the registry says, where Wine then reads the version from.
    const wchar_t* currentVersion = nullptr;
    const wchar_t* servicePack = nullptr;
    const wchar_t* build = nullptr;
};

inline constexpr WindowsRelease kWindows2000{L"win2k"};                            // 5.0 Service Pack 4
inline constexpr WindowsRelease kWindowsXp{L"winxp"};                              // 5.1 Service Pack 3
inline constexpr WindowsRelease kWindowsXpSp1{nullptr, L"5.1", L"Service Pack 1", L"2600"};
inline constexpr WindowsRelease kWindows2003{L"win2003"};                          // 5.2 Service Pack 2
inline constexpr WindowsRelease kWindowsVista{L"vista"};                           // 6.0 Service Pack 2
inline constexpr WindowsRelease kWindows7{L"win7"};                                // 6.1 Service Pack 1
inline constexpr WindowsRelease kWindows10{L"win10"};                              // 10.0

class WineReportsWindows {
public:
    // program: the file name of the exe, e.g. L"velmora.exe".
    WineReportsWindows(const std::wstring& program, const WindowsRelease& release);
    ~WineReportsWindows();
    WineReportsWindows(const WineReportsWindows&) = delete;
    WineReportsWindows& operator=(const WineReportsWindows&) = delete;

private:
    struct Saved {
        HKEY root;
        std::wstring key;
        std::wstring name;
        std::optional<std::wstring> value;  // nothing: the value was absent
    };
    void set(HKEY root, const std::wstring& key, const std::wstring& name, const wchar_t* value);

    std::vector<Saved> saved_;
};

}  // namespace velmora::testing
