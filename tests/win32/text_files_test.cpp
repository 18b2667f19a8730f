// The text-file service and the ANSI code page against Wine's real implementation, run with
// code page 936 (LANG=zh_CN.UTF-8): the files must hold exactly the expected GBK bytes.
#include "platform/win32/win32_text_files.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <set>

#include "core/connection/phonebook.h"
#include "core/settings/secret_line.h"
#include "core/settings/settings_lines.h"
#include "platform/win32/process_user.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_ansi_codec.h"
#include "tests/data/expected_files.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

std::string readBytes(const std::string& path) {
    return testing::readBytes(widen(path));
}

void writeBytes(const std::string& path, const std::string& bytes) {
    const UniqueHandle file(
        CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

using testing::grantedTo;

std::set<std::wstring> grantedTo(const std::string& path) {
    return testing::grantedTo(widen(path));
}

constexpr const wchar_t* kEveryone = L"S-1-1-0";

class Win32TextFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 936u) << "run with LANG=zh_CN.UTF-8, so that the ANSI code page is GBK";
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        // A Chinese folder name: paths go through the wide API, whatever the code page.
        folder = narrow(temp) + "维尔莫拉测试\\";
        (void)CreateDirectoryW(widen(folder).c_str(), nullptr);
    }

    void TearDown() override {
        for (const char* name : {"ipsec.pbk", "pptp.pbk", "l2tpipsec.ini", "l2tpipsec.ini.tmp", "victim.txt"}) {
            (void)DeleteFileW(widen(folder + name).c_str());
        }
        (void)RemoveDirectoryW(widen(folder + "sub").c_str());
        (void)RemoveDirectoryW(widen(folder + "l2tpipsec.ini.tmp").c_str());
        (void)RemoveDirectoryW(widen(folder).c_str());
    }

    std::string folder;
    Win32TextFiles files;
    Win32AnsiCodec codec;
};

TEST_F(Win32TextFilesTest, writesThePhonebooksInGbkWithCrLf) {
    ASSERT_TRUE(files.writeLines(folder + kL2tpPhonebook, phonebookLines(kProtocolL2tp)));
    ASSERT_TRUE(files.writeLines(folder + kPptpPhonebook, phonebookLines(kProtocolPptp)));
    EXPECT_EQ(readBytes(folder + "ipsec.pbk"), testing::kIpsecPbk);
    EXPECT_EQ(readBytes(folder + "pptp.pbk"), testing::kPptpPbk);
}

TEST_F(Win32TextFilesTest, writesAndReadsBackTheSettingsFile) {
    const SettingsLines s = composeSettings(testing::settingsSample(), codec);
    ASSERT_TRUE(files.writeLines(folder + "l2tpipsec.ini", s.lines));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), testing::kSampleSettingsFile);

    const TextFileContents read = files.readText(folder + "l2tpipsec.ini");
    ASSERT_EQ(read.status, ReadStatus::ok);
    const ConnProfile p = parseSettings(splitLines(read.text, kSettingsLineCount), codec);
    EXPECT_EQ(p.txtUserName, "张三");
    EXPECT_EQ(p.txtpreshare, "key123");
    EXPECT_EQ(p.txtPasswd, "abc");
    EXPECT_EQ(p.txtpeermask2, "255.255.0.0");
}

TEST_F(Win32TextFilesTest, replacesALongerFileWhole) {
    writeBytes(folder + "ipsec.pbk", std::string(20000, 'x'));
    ASSERT_TRUE(files.writeLines(folder + "ipsec.pbk", phonebookLines(kProtocolL2tp)));
    EXPECT_EQ(readBytes(folder + "ipsec.pbk"), testing::kIpsecPbk);
}

TEST_F(Win32TextFilesTest, writesACharacterTheCodePageLacksAsAQuestionMark) {
    ASSERT_TRUE(files.writeLines(folder + "l2tpipsec.ini", {"a한b", "é"}));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), "a?b\r\n\xA8\xA6\r\n");
}

TEST_F(Win32TextFilesTest, readsTheFileAsItIs) {
    writeBytes(folder + "l2tpipsec.ini", "\xCE\xA2\xD0\xCD\r\nx\ry\n");
    const TextFileContents read = files.readText(folder + "l2tpipsec.ini");
    EXPECT_EQ(read.status, ReadStatus::ok);
    EXPECT_EQ(read.text, "微型\r\nx\ry\n");
}

TEST_F(Win32TextFilesTest, tellsAMissingFileFromOneThatCannotBeRead) {
    EXPECT_EQ(files.readText(folder + "l2tpipsec.ini").status, ReadStatus::notFound);
    EXPECT_EQ(files.readText(folder + "nowhere\\l2tpipsec.ini").status, ReadStatus::notFound);
    ASSERT_TRUE(CreateDirectoryW(widen(folder + "sub").c_str(), nullptr));
    EXPECT_EQ(files.readText(folder + "sub").status, ReadStatus::failed);
}

TEST_F(Win32TextFilesTest, readsTheFirstLinesOfAFileThatGoesOnPastTheLimit) {
    // Sixteen good lines, then two mebibytes of lines nobody reads.
    std::string tail;
    while (tail.size() < 2 * kMaxTextFileBytes) {
        tail += std::string(99, 'x') + "\r\n";
    }
    writeBytes(folder + "l2tpipsec.ini", testing::kSampleSettingsFile + tail);
    const TextFileContents read = files.readText(folder + "l2tpipsec.ini");
    ASSERT_EQ(read.status, ReadStatus::ok);
    EXPECT_LE(read.text.size(), kMaxTextFileBytes);
    EXPECT_EQ(read.text.substr(read.text.size() - 2), "\r\n");  // whole lines only
    const ConnProfile p = parseSettings(splitLines(read.text, kSettingsLineCount), codec);
    EXPECT_EQ(p.txtUserName, "张三");
    EXPECT_EQ(p.txtPasswd, "abc");
    EXPECT_EQ(p.txtpeermask2, "255.255.0.0");
}

TEST_F(Win32TextFilesTest, aWriteThatFailsLeavesTheOldFileWholeAndNothingBesideIt) {
    writeBytes(folder + "l2tpipsec.ini", testing::kSampleSettingsFile);
    const std::wstring temporary = firstTemporaryName(widen(folder + "l2tpipsec.ini"));
    // The old file cannot be replaced (another program holds it open): nothing of the new one
    // stays behind.
    {
        const UniqueHandle held(CreateFileW(widen(folder + "l2tpipsec.ini").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(files.writeLines(folder + "l2tpipsec.ini", {"x"}));
    }
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), testing::kSampleSettingsFile);
    EXPECT_EQ(GetFileAttributesW(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The descriptor as the program builds it: the user it runs for, the administrators and the
// system alone, nothing inherited. Wine keeps no descriptor of its own for a file, so what a file
// shows there is its Unix mode: no entry for Everyone.
TEST(PrivateFileDescriptor, grantsTheUserTheAdministratorsAndTheSystemAloneAndInheritsNothing) {
    const std::wstring user = processUserSid();
    ASSERT_EQ(user.rfind(L"S-1-5-", 0), 0u) << narrow(user);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(privateFileDescriptor(user).c_str(),
                                                                     SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL access = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted));
    EXPECT_EQ(grantedTo(access), (std::set<std::wstring>{L"S-1-5-32-544", L"S-1-5-18", user}));
    LocalFree(descriptor);
}

// Whatever lies at the name a write would try first (a link to another user's file, a folder)
// is left as it is and blocks nothing.
TEST_F(Win32TextFilesTest, whatLiesAtTheFirstTemporaryNameIsNeverWrittenThroughAndBlocksNothing) {
    const std::wstring temporary = firstTemporaryName(widen(folder + "l2tpipsec.ini"));
    writeBytes(folder + "victim.txt", "theirs");
    ASSERT_TRUE(CreateHardLinkW(temporary.c_str(), widen(folder + "victim.txt").c_str(), nullptr));
    ASSERT_EQ(grantedTo(folder + "victim.txt").count(kEveryone), 1u) << "a file made the plain way is open here";
    ASSERT_TRUE(files.writeLines(folder + "l2tpipsec.ini", {"x"}));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), "x\r\n");
    EXPECT_EQ(readBytes(folder + "victim.txt"), "theirs");
    EXPECT_EQ(grantedTo(folder + "l2tpipsec.ini").count(kEveryone), 0u);

    ASSERT_TRUE(DeleteFileW(temporary.c_str()));
    ASSERT_TRUE(CreateDirectoryW(temporary.c_str(), nullptr));
    ASSERT_TRUE(files.writeLines(folder + "l2tpipsec.ini", {"y"}));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), "y\r\n");
    ASSERT_TRUE(RemoveDirectoryW(temporary.c_str()));
}

TEST_F(Win32TextFilesTest, aFileOpenToOthersIsClosedWithItsBytesKept) {
    EXPECT_EQ(files.restrictAccess(folder + "l2tpipsec.ini"), FileAccess::notFound);
    writeBytes(folder + "l2tpipsec.ini", testing::kSampleSettingsFile);
    ASSERT_EQ(grantedTo(folder + "l2tpipsec.ini").count(kEveryone), 1u);
    EXPECT_EQ(files.restrictAccess(folder + "l2tpipsec.ini"), FileAccess::restrictedNow);
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), testing::kSampleSettingsFile);
    EXPECT_EQ(grantedTo(folder + "l2tpipsec.ini").count(kEveryone), 0u);
    // A second name for it is a way in that its own permissions do not show.
    ASSERT_TRUE(CreateHardLinkW(widen(folder + "victim.txt").c_str(), widen(folder + "l2tpipsec.ini").c_str(),
                                nullptr));
    EXPECT_EQ(files.restrictAccess(folder + "l2tpipsec.ini"), FileAccess::restrictedNow);
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), testing::kSampleSettingsFile);
    ASSERT_TRUE(files.writeLines(folder + "l2tpipsec.ini", {"x"}));
    EXPECT_EQ(readBytes(folder + "victim.txt"), testing::kSampleSettingsFile) << "the link no longer leads to it";
}

TEST_F(Win32TextFilesTest, aTextTheCodePageCannotTakeIsAFailedWrite) {
    writeBytes(folder + "l2tpipsec.ini", testing::kSampleSettingsFile);
    Win32TextFiles noSuchCodePage(12345);
    EXPECT_FALSE(noSuchCodePage.writeLines(folder + "l2tpipsec.ini", {"x"}));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), testing::kSampleSettingsFile);
}

TEST_F(Win32TextFilesTest, writesInUtf8WhereThatIsTheSystemsCodePage) {
    // The system-wide UTF-8 option of newer Windows refuses the flags the other code pages take.
    Win32TextFiles utf8(CP_UTF8);
    ASSERT_TRUE(utf8.writeLines(folder + "l2tpipsec.ini", {"微型", "x"}));
    EXPECT_EQ(readBytes(folder + "l2tpipsec.ini"), "\xE5\xBE\xAE\xE5\x9E\x8B\r\nx\r\n");
}

TEST_F(Win32TextFilesTest, reportsAFileThatCannotBeCreated) {
    EXPECT_FALSE(files.writeLines(folder + "nowhere\\ipsec.pbk", {"x"}));
    ASSERT_TRUE(CreateDirectoryW(widen(folder + "sub").c_str(), nullptr));
    EXPECT_FALSE(files.writeLines(folder + "sub", {"x"}));
}

TEST(Win32AnsiCodec, takesGbkCodesAndRefusesWhatGbkLacks) {
    ASSERT_EQ(GetACP(), 936u);
    const Win32AnsiCodec codec;
    EXPECT_EQ(codec.toAnsi("微型"), "\xCE\xA2\xD0\xCD");
    EXPECT_EQ(codec.toAnsi("€"), "\x80");
    EXPECT_EQ(codec.toAnsi("abc"), "abc");
    EXPECT_EQ(codec.toAnsi(""), "");
    EXPECT_FALSE(codec.toAnsi("한"));
    EXPECT_FALSE(codec.toAnsi("a\xC3"));  // not UTF-8
    EXPECT_EQ(codec.fromAnsi("\xCE\xA2"), "微");
    EXPECT_EQ(codec.fromAnsi("\x80"), "€");
    EXPECT_FALSE(codec.fromAnsi("\xCE"));  // a lead byte alone
}

TEST(Win32AnsiCodec, carriesSingleByteSecretsAndRefusesChineseOnes) {
    const Win32AnsiCodec codec;
    EXPECT_EQ(secretToLine("abc", codec), "RRxRqR");
    EXPECT_EQ(secretToLine("€", codec), "7W");
    EXPECT_FALSE(secretToLine("密码", codec));
    EXPECT_EQ(lineToSecret("7W", codec), "€");
    EXPECT_EQ(lineToSecret("xdzh", codec), "");  // the two codes of 微, never joined
}

}  // namespace
}  // namespace velmora
