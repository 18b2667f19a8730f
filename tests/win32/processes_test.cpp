// Win32Processes against Wine's real process creation.
#include "platform/win32/win32_processes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;
using testing::fileExists;

std::string child() {
    return "\"" + narrow(testing::programFolder()) + "\\velmora_test_child.exe\"";
}

std::string quoted(const std::wstring& path) {
    return "\"" + narrow(path) + "\"";
}

// Handles this process holds now.
DWORD handleCount() {
    const auto count = testing::handleCount(GetCurrentProcessId());
    if (!count || *count == 0) {
        ADD_FAILURE() << "cannot count the process's handles";
    }
    return count.value_or(0);
}

bool waitForFile(const std::wstring& path, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        if (fileExists(path)) {
            return true;
        }
        Sleep(50);
    }
    return fileExists(path);
}

TEST(RunAndWait, returnsOnlyAfterTheChildHasEnded) {
    TempFolder folder;
    const std::wstring marker = folder.file(L"marker");
    Win32Processes processes;
    processes.runAndWait(child() + " sleep 1500 " + quoted(marker));
    EXPECT_TRUE(fileExists(marker));
}

TEST(RunAndWait, returnsTheChildsExitStatus) {
    Win32Processes processes;
    EXPECT_EQ(processes.runAndWait(child() + " exit 691"), std::optional<std::uint32_t>(691));
    EXPECT_EQ(processes.runAndWait(child() + " exit 0"), std::optional<std::uint32_t>(0));
}

TEST(RunAndWait, returnsAtOnceWhenTheProgramDoesNotExist) {
    Win32Processes processes;
    EXPECT_FALSE(processes.runAndWait("velmora-no-such-program.exe /x").has_value());  // must not hang
    const DWORD before = handleCount();
    (void)processes.runAndWait("velmora-no-such-program.exe /x");
    EXPECT_EQ(handleCount(), before);
}

TEST(RunAndWait, passesChineseTextUnchanged) {
    TempFolder folder;
    const std::wstring output = folder.file(L"cmdline.txt");
    const std::string line = child() + " echo " + quoted(output) + " 拨号成功！ \"VPN密  码\" 隧道";
    Win32Processes processes;
    processes.runAndWait(line);
    EXPECT_EQ(testing::readBytes(output), line);
}

TEST(RunAndWait, leavesNoHandleBehind) {
    TempFolder folder;
    Win32Processes processes;
    const std::string line = child() + " sleep 0 " + quoted(folder.file(L"m"));
    processes.runAndWait(line);  // the first start may set up process-wide state
    const DWORD before = handleCount();
    for (int i = 0; i < 10; ++i) {
        processes.runAndWait(line);
    }
    EXPECT_EQ(handleCount(), before);
}

TEST(StartHidden, returnsBeforeTheChildHasEnded) {
    TempFolder folder;
    const std::wstring marker = folder.file(L"marker");
    Win32Processes processes;
    processes.startHidden(child() + " sleep 3000 " + quoted(marker));
    EXPECT_FALSE(fileExists(marker));
    EXPECT_TRUE(waitForFile(marker, 20000)) << "the child never ran";
}

TEST(StartHidden, leavesNoHandleBehindAfterManyStarts) {
    TempFolder folder;
    Win32Processes processes;
    processes.startHidden(child() + " sleep 0 " + quoted(folder.file(L"warm-up")));
    ASSERT_TRUE(waitForFile(folder.file(L"warm-up"), 20000));
    const DWORD before = handleCount();
    for (int i = 0; i < 40; ++i) {
        processes.startHidden(child() + " sleep 0 " + quoted(folder.file(L"m" + std::to_wstring(i))));
    }
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(waitForFile(folder.file(L"m" + std::to_wstring(i)), 20000));
    }
    EXPECT_EQ(handleCount(), before);
}

TEST(StartHidden, missingProgramLeavesNothingBehind) {
    Win32Processes processes;
    processes.startHidden("velmora-no-such-program.exe /x");
    const DWORD before = handleCount();
    processes.startHidden("velmora-no-such-program.exe /x");
    EXPECT_EQ(handleCount(), before);
}

}  // namespace
}  // namespace velmora
