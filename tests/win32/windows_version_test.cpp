// getversion against the version Wine reports and a real program folder: the probe program is
// copied into a fresh folder, Wine is told which Windows to be for it, and the probe reports.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_processes.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;
using testing::fileExists;

// Wine takes the Windows version a program sees from here, when the program starts.
constexpr const wchar_t* kProbeDefaults = L"Software\\Wine\\AppDefaults\\velmora_version_probe.exe";

void createFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
}

class GetversionUnderWine : public ::testing::Test {
protected:
    GetversionUnderWine() {
        const std::wstring probe = testing::programFolder() + L"\\velmora_version_probe.exe";
        EXPECT_TRUE(CopyFileW(probe.c_str(), folder.file(L"velmora_version_probe.exe").c_str(), FALSE));
    }
    ~GetversionUnderWine() override { (void)RegDeleteKeyW(HKEY_CURRENT_USER, kProbeDefaults); }

    // Runs the probe as the given Windows ("win2k", "winxp", "win7") and returns its report.
    std::string startAs(const wchar_t* windows) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kProbeDefaults, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const DWORD bytes = static_cast<DWORD>((wcslen(windows) + 1) * sizeof(wchar_t));
        EXPECT_EQ(RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(windows), bytes),
                  ERROR_SUCCESS);
        RegCloseKey(key);

        const std::wstring report = folder.file(L"report.txt");
        Win32Processes processes;
        processes.runAndWait("\"" + narrow(folder.file(L"velmora_version_probe.exe")) + "\" \"" + narrow(report) +
                             "\"");
        return testing::readBytes(report);
    }

    bool has(const wchar_t* name) const { return fileExists(folder.file(name)); }

    TempFolder folder;
};

TEST_F(GetversionUnderWine, windows2000ChoosesIpsecpolAndTouchesNoFile) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(L"win2k"), "5.0|ipsecpol|Service Pack 4");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_FALSE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, windowsXpServicePack3ParksTheLibrary) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(L"winxp"), "5.1|ipseccmd|Service Pack 3");
    EXPECT_FALSE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));

    // The next start finds it parked already and changes nothing.
    EXPECT_EQ(startAs(L"winxp"), "5.1|ipseccmd|Service Pack 3");
    EXPECT_FALSE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, windowsXpWithBothNamesLeavesTheFolderAlone) {
    createFile(folder.file(L"winipsec.dll"));
    createFile(folder.file(L"zertaipsec.dll"));
    EXPECT_EQ(startAs(L"winxp"), "5.1|ipseccmd|Service Pack 3");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, aRenameThatFailsDoesNotStopTheStart) {
    // A hidden file of the parked name counts as absent, so the rename is tried and refused.
    createFile(folder.file(L"winipsec.dll"));
    createFile(folder.file(L"zertaipsec.dll"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(startAs(L"winxp"), "5.1|ipseccmd|Service Pack 3");
    EXPECT_TRUE(has(L"winipsec.dll"));
}

TEST_F(GetversionUnderWine, windows7ChoosesIpseccmdAndTouchesNoFile) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(L"win7"), "6.1|ipseccmd|Service Pack 1");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_FALSE(has(L"zertaipsec.dll"));
}

}  // namespace
}  // namespace velmora
