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

std::string childProgram() {
    return narrow(testing::programFolder()) + "\\velmora_test_child.exe";
}

std::string child() {
    return "\"" + childProgram() + "\"";
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

std::optional<std::uint32_t> runToEnd(const std::string& line, Processes::Window window = Processes::Window::shown) {
    const auto program = Win32Processes().start(childProgram(), line, window);
    if (!program) {
        return std::nullopt;
    }
    WaitForSingleObject(reinterpret_cast<HANDLE>(program->waitHandle()), INFINITE);
    return program->exitStatus();
}

TEST(Win32Processes, aStartedProgramRunsToItsExitStatus) {
    TempFolder folder;
    const std::wstring marker = folder.file(L"marker");
    EXPECT_EQ(runToEnd(child() + " sleep 1500 " + quoted(marker)), std::optional<std::uint32_t>(0));
    EXPECT_TRUE(fileExists(marker));
    EXPECT_EQ(runToEnd(child() + " exit 691"), std::optional<std::uint32_t>(691));
    EXPECT_EQ(runToEnd(child() + " exit 87", Processes::Window::hidden), std::optional<std::uint32_t>(87));
}

TEST(Win32Processes, passesChineseTextUnchanged) {
    TempFolder folder;
    const std::wstring output = folder.file(L"cmdline.txt");
    const std::string line = child() + " echo " + quoted(output) + " 拨号成功！ \"VPN密  码\" 隧道";
    runToEnd(line);
    EXPECT_EQ(testing::readBytes(output), line);
}

// The program named runs, not one of that name in the current folder, and it runs in the system
// folder, whatever folder the dialer was started from.
TEST(Win32Processes, runsTheProgramNamedInTheSystemFolderNotTheCurrentOne) {
    TempFolder folder;
    ASSERT_TRUE(CopyFileW(widen(childProgram()).c_str(), folder.file(L"rasdial.exe").c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.path().c_str());
    const std::wstring self = folder.file(L"self.txt");
    runToEnd("rasdial self " + quoted(self));
    const std::wstring current = folder.file(L"folder.txt");
    runToEnd("rasdial folder " + quoted(current));
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(testing::readBytes(self), childProgram());
    wchar_t system[MAX_PATH] = {};
    ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
    EXPECT_EQ(testing::readBytes(current), narrow(system));
}

TEST(Win32Processes, theChildInheritsNoHandle) {
    TempFolder folder;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE event = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
    const std::wstring output = folder.file(L"handle.txt");
    runToEnd(child() + " handle " + std::to_string(reinterpret_cast<std::uintptr_t>(event)) + " " + quoted(output));
    CloseHandle(event);
    EXPECT_EQ(testing::readBytes(output), "none");
}

TEST(Win32Processes, terminateEndsTheProgramAtOnce) {
    TempFolder folder;
    const std::wstring marker = folder.file(L"marker");
    const auto program = Win32Processes().start(childProgram(), child() + " sleep 20000 " + quoted(marker),
                                                Processes::Window::hidden);
    ASSERT_NE(program, nullptr);
    program->terminate();
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(program->waitHandle()), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(program->exitStatus(), std::optional<std::uint32_t>(ERROR_CANCELLED));
    EXPECT_FALSE(fileExists(marker));
}

TEST(Win32Processes, aProgramThatCannotStartLeavesNothingBehind) {
    Win32Processes processes;
    EXPECT_EQ(processes.start("C:\\velmora-no-such-program.exe", "velmora-no-such-program /x",
                              Processes::Window::hidden),
              nullptr);
    EXPECT_EQ(processes.start("", "velmora_test_child exit 0", Processes::Window::shown), nullptr);
    const DWORD before = handleCount();
    (void)processes.start("C:\\velmora-no-such-program.exe", "x", Processes::Window::shown);
    EXPECT_EQ(handleCount(), before);
}

TEST(Win32Processes, leavesNoHandleBehindOnceLetGo) {
    TempFolder folder;
    runToEnd(child() + " exit 0");  // the first start may set up process-wide state
    const DWORD before = handleCount();
    for (int i = 0; i < 20; ++i) {
        runToEnd(child() + " exit 0", i % 2 == 0 ? Processes::Window::shown : Processes::Window::hidden);
    }
    EXPECT_EQ(handleCount(), before);
}

}  // namespace
}  // namespace velmora
