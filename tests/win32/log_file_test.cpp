// The log file against Wine's real file system: the folder it makes, the encoding as Notepad
// reads it, the switch to velmora.log.1 at the size limit, and other programs holding the files.
#include "platform/win32/win32_log_file.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::readBytes;

// The file's text as Notepad takes it: Unicode when the system's test finds its byte-order
// mark, whatever the ANSI code page; nothing otherwise.
std::optional<std::string> readAsNotepad(const std::wstring& path) {
    const std::string bytes = readBytes(path);
    int tests = IS_TEXT_UNICODE_SIGNATURE;
    if (bytes.size() < 2 || !IsTextUnicode(bytes.data(), static_cast<int>(bytes.size()), &tests) ||
        (tests & IS_TEXT_UNICODE_SIGNATURE) == 0) {
        return std::nullopt;
    }
    return narrow(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()) + 1, (bytes.size() - 2) / 2));
}

// The text's lines, each of which must end with CR LF.
std::vector<std::string> wholeLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "a line without its end: " << text.substr(start);
    return lines;
}

class Win32LogFileTest : public ::testing::Test {
protected:
    std::wstring logPath() const { return folder + L"\\velmora.log"; }
    std::wstring previousPath() const { return folder + L"\\velmora.log.1"; }
    // Holds a file open as another program would, sharing only what it is told.
    static HANDLE hold(const std::wstring& path, DWORD share) {
        return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    testing::TempFolder temp;
    // Not there yet, and Chinese: the folder is made, and paths go through the wide API.
    std::wstring folder = temp.path() + L"\\维尔莫拉";
    Win32LogFile log{narrow(folder)};
};

TEST_F(Win32LogFileTest, makesItsFolderAndWritesUtf16LinesThatNotepadReadsAsUnicode) {
    EXPECT_EQ(log.path(), narrow(logPath()));
    log.append("程序启动：Velmora VPN 1.0.0");
    log.append("链路断开：公司VPN");
    const std::string bytes = readBytes(logPath());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(readAsNotepad(logPath()), std::optional<std::string>("程序启动：Velmora VPN 1.0.0\r\n链路断开：公司VPN\r\n"));
}

TEST_F(Win32LogFileTest, aLogInAnotherEncodingIsSetAsideRatherThanContinued) {
    CreateDirectoryW(folder.c_str(), nullptr);
    {
        const UniqueHandle saved(CreateFileW(logPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(saved.get(), "ANSI\r\n", 6, &written, nullptr));
    }
    log.append("链路恢复：corvinaltexum");
    EXPECT_EQ(readBytes(previousPath()), "ANSI\r\n");
    EXPECT_EQ(readAsNotepad(logPath()), std::optional<std::string>("链路恢复：corvinaltexum\r\n"));
}

TEST_F(Win32LogFileTest, setsTheFullLogAsideWithoutLosingOrSplittingALine) {
    // Enough lines for two switches: the second replaces the first's velmora.log.1.
    const int lineCount = 12000;
    for (int n = 1; n <= lineCount; ++n) {
        log.append("第 " + std::to_string(n) + " 行：链路恢复 corvinaltexum");
    }
    int expected = 0;
    for (const std::wstring& path : {previousPath(), logPath()}) {
        const auto text = readAsNotepad(path);
        ASSERT_TRUE(text) << narrow(path);
        EXPECT_LE(readBytes(path).size(), kLogFileLimitBytes) << narrow(path);
        for (const std::string& line : wholeLines(*text)) {
            const int n = std::stoi(line.substr(std::string("第 ").size()));
            if (expected == 0) {
                EXPECT_GT(n, 1) << "the first switch's velmora.log.1 was replaced";
                expected = n;
            }
            ASSERT_EQ(line, "第 " + std::to_string(expected) + " 行：链路恢复 corvinaltexum");
            ++expected;
        }
    }
    EXPECT_EQ(expected, lineCount + 1);
    // The previous log was full: its next line would have passed the limit.
    EXPECT_GT(readBytes(previousPath()).size() + 2 * std::string("第 1234 行：链路恢复 corvinaltexum\r\n").size(),
              kLogFileLimitBytes);
}

TEST_F(Win32LogFileTest, aLogHeldByAnotherProgramSkipsTheLineWithoutWaitingAndTakesTheNext) {
    log.append("一");
    {
        const UniqueHandle held(hold(logPath(), 0));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        log.append("二");
    }
    log.append("三");
    EXPECT_EQ(readAsNotepad(logPath()), std::optional<std::string>("一\r\n三\r\n"));
}

TEST_F(Win32LogFileTest, aFullLogThatCannotBeSetAsideTakesTheLineRatherThanLoseIt) {
    log.append("填充");
    // Filled to a few bytes short of the limit with lines of eight bytes each.
    std::wstring full = L"\xFEFF";
    while ((full.size() + 4) * sizeof(wchar_t) <= kLogFileLimitBytes) {
        full += L"填充\r\n";
    }
    {
        const UniqueHandle file(CreateFileW(logPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), full.data(), static_cast<DWORD>(full.size() * 2), &written, nullptr));
    }
    {
        // An editor that lets others read and write the log, but not rename it.
        const UniqueHandle held(hold(logPath(), FILE_SHARE_READ | FILE_SHARE_WRITE));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        log.append("不丢失的一行");
    }
    EXPECT_FALSE(testing::fileExists(previousPath()));
    EXPECT_GT(readBytes(logPath()).size(), kLogFileLimitBytes);
    EXPECT_EQ(wholeLines(readAsNotepad(logPath()).value_or("")).back(), "不丢失的一行");

    log.append("下一行");  // released: the switch happens now
    EXPECT_EQ(wholeLines(readAsNotepad(previousPath()).value_or("")).back(), "不丢失的一行");
    EXPECT_EQ(readAsNotepad(logPath()), std::optional<std::string>("下一行\r\n"));
}

TEST(Win32LogFile, theUsersLogIsInTheVelmoraFolderOfTheLocalApplicationData) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    EXPECT_EQ(Win32LogFile().path(), narrow(std::wstring(local) + L"\\Velmora\\velmora.log"));
}

}  // namespace
}  // namespace velmora
