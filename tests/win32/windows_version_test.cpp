// The version and the policy library's name against the version Wine reports and a real program
// folder: the probe program is copied into a fresh folder, Wine is told which Windows to be for
// it, and the probe reports.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "tests/win32/temp_folder.h"
#include "tests/win32/wine_windows.h"

namespace velmora {
namespace {

using testing::TempFolder;
using testing::fileExists;

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

    // Runs the probe with Wine reporting the given Windows, and returns its report.
    std::string startAs(const testing::WindowsRelease& windows) {
        const testing::WineReportsWindows reported(L"velmora_version_probe.exe", windows);
        return start();
    }

    // Runs the probe as whatever Windows the prefix is.
    std::string start() {
        const std::wstring report = folder.file(L"report.txt");
            testing::runCommandLine("\"" + narrow(folder.file(L"velmora_version_probe.exe")) + "\" \"" + narrow(report) +
                             "\"");
        return testing::readBytes(report);
    }

    bool has(const wchar_t* name) const { return fileExists(folder.file(name)); }

    TempFolder folder;
};

TEST_F(GetversionUnderWine, windows2000ChoosesIpsecpolAndTouchesNoFile) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindows2000), "5.0|ipsecpol|Service Pack 4");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_FALSE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, windowsXpServicePack3ParksTheLibrary) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindowsXp), "5.1|ipseccmd|Service Pack 3");
    EXPECT_FALSE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));

    // The next start finds it parked already and changes nothing.
    EXPECT_EQ(startAs(testing::kWindowsXp), "5.1|ipseccmd|Service Pack 3");
    EXPECT_FALSE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, windowsXpWithBothNamesLeavesTheFolderAlone) {
    createFile(folder.file(L"winipsec.dll"));
    createFile(folder.file(L"zertaipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindowsXp), "5.1|ipseccmd|Service Pack 3");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_TRUE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, aRenameThatFailsDoesNotStopTheStart) {
    // A hidden file of the parked name counts as absent, so the rename is tried and refused.
    createFile(folder.file(L"winipsec.dll"));
    createFile(folder.file(L"zertaipsec.dll"), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(startAs(testing::kWindowsXp), "5.1|ipseccmd|Service Pack 3");
    EXPECT_TRUE(has(L"winipsec.dll"));
}

TEST_F(GetversionUnderWine, windowsXpServicePack1BringsTheLibraryBack) {
    createFile(folder.file(L"zertaipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindowsXpSp1), "5.1|ipseccmd|Service Pack 1");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_FALSE(has(L"zertaipsec.dll"));
}

TEST_F(GetversionUnderWine, theRegistryIsPutBackAfterwards) {
    const std::string before = start();
    ASSERT_EQ(before.rfind("5.", 0), std::string::npos) << before;
    EXPECT_EQ(startAs(testing::kWindowsXpSp1), "5.1|ipseccmd|Service Pack 1");
    EXPECT_EQ(startAs(testing::kWindows2000), "5.0|ipsecpol|Service Pack 4");
    EXPECT_EQ(start(), before);
}

TEST_F(GetversionUnderWine, windowsServer2003ChoosesIpseccmd) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindows2003), "5.2|ipseccmd|Service Pack 2");
    EXPECT_TRUE(has(L"winipsec.dll"));
}

TEST_F(GetversionUnderWine, fromVistaOnTheNetshProgramAndNoFileTouched) {
    createFile(folder.file(L"winipsec.dll"));
    EXPECT_EQ(startAs(testing::kWindowsVista), "6.0|velmora-ipsec|Service Pack 2");
    EXPECT_EQ(startAs(testing::kWindows7), "6.1|velmora-ipsec|Service Pack 1");
    // Windows 10 tells a program without a manifest naming it that it runs on 8 (6.2), as Wine does.
    EXPECT_EQ(startAs(testing::kWindows10), "6.2|velmora-ipsec|");
    EXPECT_TRUE(has(L"winipsec.dll"));
    EXPECT_FALSE(has(L"zertaipsec.dll"));
}

}  // namespace
}  // namespace velmora
