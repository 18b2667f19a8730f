// velmora.exe and velmora-ipsec.exe are 32-bit programs; on 64-bit Windows the tools they start
// from the system folder and the registry key they set must still be the system's own. What a
// 32-bit program finds in a 64-bit Wine prefix, which redirects as WOW64 does. (Wine ships no
// rasdial or route; ping stands for the tools.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "core/system/general.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell_folders.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

bool underWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The machine a program file is built for, as its PE header names it; 0 when it is none.
WORD machineOf(const std::wstring& path) {
    const std::string bytes = testing::readBytes(path);
    IMAGE_DOS_HEADER dos{};
    if (bytes.size() < sizeof dos) {
        return 0;
    }
    std::memcpy(&dos, bytes.data(), sizeof dos);
    IMAGE_FILE_HEADER file{};
    const std::size_t at = static_cast<std::size_t>(dos.e_lfanew) + sizeof(DWORD);
    if (bytes.size() < at + sizeof file) {
        return 0;
    }
    std::memcpy(&file, bytes.data() + at, sizeof file);
    return file.Machine;
}

std::wstring folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH] = {};
    get(path, MAX_PATH);
    return path;
}

class Wow64 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!underWow64()) {
            GTEST_SKIP() << "a 32-bit Wine prefix: nothing is redirected";
        }
    }
};

TEST_F(Wow64, theSystemFolderGivesA32BitProgramThe32BitCopiesOfTheTools) {
    const std::wstring system = folder(GetSystemDirectoryW);
    const std::wstring wow64 = folder(GetSystemWow64DirectoryW);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    // velmora-ipsec takes netsh from there (the tests put a stand-in of it in both folders).
    EXPECT_EQ(nativeSystemFolder(), std::optional<std::string>(narrow(std::wstring(windows) + L"\\Sysnative")));
    // Wine's own ping is still in both folders.
    for (const wchar_t* tool : {L"ping.exe"}) {
        const std::wstring name = tool;
        // Found by name in the system folder, the file read is SysWOW64's 32-bit copy...
        EXPECT_EQ(machineOf(system + L"\\" + name), IMAGE_FILE_MACHINE_I386) << narrow(name);
        EXPECT_EQ(testing::readBytes(system + L"\\" + name), testing::readBytes(wow64 + L"\\" + name));
        // ...while the 64-bit tool is there too, reached only through Sysnative.
        EXPECT_EQ(machineOf(std::wstring(windows) + L"\\Sysnative\\" + name), IMAGE_FILE_MACHINE_AMD64)
            << narrow(name);
    }
}

constexpr const wchar_t* kParameters = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";

std::optional<DWORD> readDword(const wchar_t* subkey, const wchar_t* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::optional<DWORD>(value) : std::nullopt;
}

TEST_F(Wow64, theRasManSwitchIsTheOneKeyThe64BitServiceReads) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParameters, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const std::optional<DWORD> before = readDword(kParameters, L"ProhibitIpsec", KEY_WOW64_64KEY);
    // As the program sets it, from a 32-bit process.
    Win32Registry registry;
    const std::string subkey = narrow(kParameters);
    ASSERT_TRUE(registry.writeDword(kHkeyLocalMachine, subkey, "ProhibitIpsec", 7));
    EXPECT_EQ(readDword(kParameters, L"ProhibitIpsec", KEY_WOW64_64KEY), std::optional<DWORD>(7));
    EXPECT_EQ(readDword(kParameters, L"ProhibitIpsec", KEY_WOW64_32KEY), std::optional<DWORD>(7));
    registry.writeDword(kHkeyLocalMachine, subkey, "ProhibitIpsec", before.value_or(1));
}

// Writes a value from this 32-bit process into a fresh key; what each view then reads.
std::pair<std::optional<DWORD>, std::optional<DWORD>> writtenBy32BitRead32And64(const std::wstring& subkey) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot make " << narrow(subkey);
        return {};
    }
    const DWORD one = 1;
    RegSetValueExW(key, L"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
    const auto read = std::make_pair(readDword(subkey.c_str(), L"Value", KEY_WOW64_32KEY),
                                     readDword(subkey.c_str(), L"Value", KEY_WOW64_64KEY));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, subkey.c_str());
    return read;
}

TEST_F(Wow64, theIpsecPolicyStoreIsSharedWhereTheRestOfSoftwareIsNot) {
    // netsh keeps the local policy store under HKLM\SOFTWARE\Policies, which both views share...
    EXPECT_EQ(writtenBy32BitRead32And64(L"Software\\Policies\\Microsoft\\Windows\\IPSec\\VelmoraWow64Probe"),
              std::make_pair(std::optional<DWORD>(1), std::optional<DWORD>(1)));
    // ...while the rest of HKLM\SOFTWARE is redirected, which the test sees.
    EXPECT_EQ(writtenBy32BitRead32And64(L"Software\\VelmoraWow64Probe"),
              std::make_pair(std::optional<DWORD>(1), std::optional<DWORD>()));
}

}  // namespace
}  // namespace velmora
