// The log file against Wine's real file system: read back as Notepad reads it, the switch to
// velmora.log.1 at the size limit, and another program holding the log.
#include "platform/win32/win32_log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::readBytes;

// The file's lines as Notepad takes them: Unicode because the system's test finds its
// byte-order mark, whatever the ANSI code page; each line must end with CR LF.
std::vector<std::string> linesAsNotepadReadsThem(const std::wstring& path) {
    const std::string bytes = readBytes(path);
    int tests = IS_TEXT_UNICODE_SIGNATURE;
    EXPECT_TRUE(bytes.size() >= 2 && IsTextUnicode(bytes.data(), static_cast<int>(bytes.size()), &tests) &&
                (tests & IS_TEXT_UNICODE_SIGNATURE) != 0)
        << narrow(path);
    const auto* text16 = reinterpret_cast<const wchar_t*>(bytes.data());
    const std::string text = bytes.size() < 2 ? "" : narrow(std::wstring(text16 + 1, bytes.size() / 2 - 1));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "a line without its end in " << narrow(path);
    return lines;
}

class Win32LogFileTest : public ::testing::Test {
protected:
    testing::TempFolder temp;
    // Not there yet, and Chinese: the log makes it, through the wide API.
    std::wstring folder = temp.path() + L"\\维尔莫拉";
    std::wstring logPath = folder + L"\\velmora.log";
    std::wstring previousPath = logPath + L".1";
    Win32LogFile log{narrow(folder)};
};

TEST_F(Win32LogFileTest, setsTheFullLogAsideWithoutLosingOrSplittingALine) {
    // Enough for two switches: the second replaces the first one's velmora.log.1.
    const int lineCount = 12000;
    for (int n = 1; n <= lineCount; ++n) {
        log.append("第 " + std::to_string(n) + " 行：链路恢复 corvinaltexum");
    }
    int next = 0;
    for (const std::wstring& path : {previousPath, logPath}) {
        EXPECT_LE(readBytes(path).size(), kLogFileLimitBytes);
        for (const std::string& line : linesAsNotepadReadsThem(path)) {
            next = next != 0 ? next : std::stoi(line.substr(std::string("第 ").size()));
            ASSERT_EQ(line, "第 " + std::to_string(next++) + " 行：链路恢复 corvinaltexum");
        }
    }
    EXPECT_EQ(next, lineCount + 1);
    EXPECT_GT(readBytes(previousPath).size() + 60, kLogFileLimitBytes) << "set aside only when full";
    EXPECT_EQ(log.path(), narrow(logPath));
}

TEST_F(Win32LogFileTest, aLogHeldByAnotherProgramSkipsTheLineAtOnceAndTakesTheNext) {
    log.append("一");
    {
        const UniqueHandle held(CreateFileW(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        log.append("二");
    }
    log.append("三");
    EXPECT_EQ(linesAsNotepadReadsThem(logPath), (std::vector<std::string>{"一", "三"}));
}

TEST_F(Win32LogFileTest, aLogOfAnotherNameIsThatFileInTheFolder) {
    Win32LogFile named(narrow(folder), "velmora-service.log");
    named.append("服务启动");
    EXPECT_EQ(named.path(), narrow(folder + L"\\velmora-service.log"));
    EXPECT_EQ(linesAsNotepadReadsThem(folder + L"\\velmora-service.log"), (std::vector<std::string>{"服务启动"}));
    EXPECT_FALSE(testing::fileExists(logPath));
}

// The same user's programs without elevation can change the log's folder; the program writes with
// administrator rights, so it never writes through a second name there of a file that lies
// elsewhere. (Wine does not follow the folder links it makes, so the refusal of a junction for the
// folder cannot be shown here.)
TEST_F(Win32LogFileTest, neverWritesThroughALinkToAFileElsewhere) {
    const std::wstring elsewhere = temp.path() + L"\\elsewhere";
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    const std::wstring theirs = elsewhere + L"\\theirs.txt";
    {
        const UniqueHandle made(CreateFileW(theirs.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_NE(made.get(), INVALID_HANDLE_VALUE);
    }
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW(logPath.c_str(), theirs.c_str(), nullptr));
    log.append("一");
    EXPECT_EQ(readBytes(theirs), "");
}

}  // namespace
}  // namespace velmora
