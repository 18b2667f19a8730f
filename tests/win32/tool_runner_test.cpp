// What velmora-ipsec.exe does on the Win32 side, against Wine: netsh run out of sight to its end
// for its exit status, and the named mutex that keeps two runs from interleaving.
#include "platform/win32/win32_tool_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/named_mutex_lock.h"
#include "platform/win32/text_codec.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::TempFolder;

std::string childProgram() {
    return narrow(testing::programFolder()) + "\\velmora_test_child.exe";
}

std::string child() {
    return "\"" + childProgram() + "\"";
}

std::string quoted(const std::wstring& path) {
    return "\"" + narrow(path) + "\"";
}

TEST(Win32ToolRunner, returnsOnlyAfterTheToolHasEndedWithItsExitStatus) {
    TempFolder folder;
    const std::wstring marker = folder.file(L"marker");
    Win32ToolRunner tools(childProgram());
    EXPECT_EQ(tools.runHidden(child() + " sleep 1000 " + quoted(marker)), 0);
    EXPECT_TRUE(testing::fileExists(marker));
    EXPECT_EQ(tools.runHidden(child() + " exit 1"), 1);
    EXPECT_EQ(tools.runHidden(child() + " exit 87"), 87);
}

TEST(Win32ToolRunner, aToolThatCannotStartSaysSo) {
    Win32ToolRunner tools("C:\\velmora-no-such-program.exe");
    EXPECT_EQ(tools.runHidden("netsh ipsec static"), ToolRunner::kCannotStart);
}

TEST(Win32ToolRunner, theToolGetsNoConsoleWindow) {
    // Run from a program without a console, as velmora-ipsec.exe, a GUI program, is: a console
    // tool started from there would otherwise get a console window of its own.
    TempFolder folder;
    const std::wstring report = folder.file(L"console.txt");
    Win32ToolRunner tools(childProgram());
    ASSERT_EQ(tools.runHidden(child() + " unconsoled " + quoted(report)), 0);
    EXPECT_EQ(testing::readBytes(report), "none");
}

// One for the whole computer, as velmora-ipsec's is.
constexpr const wchar_t* kName = L"Global\\velmora-test-mutex";
constexpr unsigned long kWaitMs = 10000;

struct Contender {
    LONG acquired = 0;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool releaseAtEnd = true;
    HANDLE kept = nullptr;  // the mutex handle of a contender that ended holding it
};

// Takes the lock on a thread of its own, as another process would, and holds it until told.
DWORD WINAPI contend(void* parameter) {
    auto* contender = static_cast<Contender*>(parameter);
    if (contender->releaseAtEnd) {
        const NamedMutexLock lock(kName, kWaitMs);
        InterlockedExchange(&contender->acquired, lock.held() ? 1 : 0);
        WaitForSingleObject(contender->release, INFINITE);
        return 0;
    }
    // Ends holding it, as a process that crashes mid-run.
    contender->kept = CreateMutexW(nullptr, FALSE, kName);
    WaitForSingleObject(contender->kept, INFINITE);
    InterlockedExchange(&contender->acquired, 1);
    return 0;
}

TEST(NamedMutexLock, aSecondHolderWaitsUntilTheFirstLetsGo) {
    Contender second;
    HANDLE thread = nullptr;
    {
        const NamedMutexLock first(kName, kWaitMs);
        ASSERT_TRUE(first.held());
        thread = CreateThread(nullptr, 0, contend, &second, 0, nullptr);
        Sleep(300);
        EXPECT_EQ(InterlockedCompareExchange(&second.acquired, 0, 0), 0);
    }
    for (int i = 0; i < 100 && InterlockedCompareExchange(&second.acquired, 0, 0) == 0; ++i) {
        Sleep(20);
    }
    EXPECT_EQ(second.acquired, 1);
    SetEvent(second.release);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(second.release);
}

TEST(NamedMutexLock, aHolderThatEndedWithoutLettingGoCountsAsGone) {
    Contender crashed;
    crashed.releaseAtEnd = false;
    HANDLE thread = CreateThread(nullptr, 0, contend, &crashed, 0, nullptr);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    ASSERT_EQ(crashed.acquired, 1);
    {
        const NamedMutexLock lock(kName, kWaitMs);
        EXPECT_TRUE(lock.held());
    }
    CloseHandle(crashed.kept);
    CloseHandle(crashed.release);
}

TEST(NamedMutexLock, aHolderThatDoesNotLetGoEndsTheWaitUnheld) {
    Contender holder;
    HANDLE thread = CreateThread(nullptr, 0, contend, &holder, 0, nullptr);
    for (int i = 0; i < 100 && InterlockedCompareExchange(&holder.acquired, 0, 0) == 0; ++i) {
        Sleep(20);
    }
    ASSERT_EQ(holder.acquired, 1);
    {
        const NamedMutexLock late(kName, 200);
        EXPECT_FALSE(late.held());
        EXPECT_TRUE(late.timedOut());
    }
    SetEvent(holder.release);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(holder.release);
}

}  // namespace
}  // namespace velmora
