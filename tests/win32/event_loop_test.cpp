// Win32EventLoop's waits on a real message queue: delay, and waitFor a program, without or with a limit.
#include "platform/win32/win32_event_loop.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/win32_processes.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

int appMessages = 0;
int keyDowns = 0;
int timerTicks = 0;
int nestedDelays = 0;
Win32EventLoop* nestedLoop = nullptr;

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_APP:
        ++appMessages;
        return 0;
    case WM_APP + 1:
        // A click that itself waits, as a policy command does.
        nestedLoop->delay(1);
        ++nestedDelays;
        return 0;
    case WM_TIMER:
        ++timerTicks;
        return 0;
    case WM_KEYDOWN:
        ++keyDowns;
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

class DelayTest : public ::testing::Test {
protected:
    DelayTest() {
        WNDCLASSW cls{};
        cls.lpfnWndProc = countingProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"VelmoraDelayTest";
        RegisterClassW(&cls);
        window = CreateWindowW(L"VelmoraDelayTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance,
                               nullptr);
        appMessages = timerTicks = nestedDelays = keyDowns = 0;
        nestedLoop = &loop;
    }
    ~DelayTest() override { DestroyWindow(window); }

    HWND window = nullptr;
    Win32EventLoop loop;
};

TEST_F(DelayTest, dispatchesAMessagePostedBeforeTheWait) {
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    loop.delay(1);
    EXPECT_EQ(appMessages, 1);
}

TEST_F(DelayTest, runsTimerTicksThatArriveDuringTheWait) {
    SetTimer(window, 1, 100, nullptr);
    loop.delay(1);
    KillTimer(window, 1);
    EXPECT_GE(timerTicks, 3);
}

TEST_F(DelayTest, lastsAtLeastTheGivenSeconds) {
    const DWORD start = GetTickCount();
    loop.delay(1);
    EXPECT_GE(GetTickCount() - start, 1000u);
}

TEST_F(DelayTest, aHandlerInsideTheWaitCanWaitToo) {
    PostMessageW(window, WM_APP + 1, 0, 0);
    loop.delay(1);
    EXPECT_EQ(nestedDelays, 1);
}

TEST_F(DelayTest, letsTheDialogManagerTakeTabWhileWaiting) {
    // A control in a top-level window, as in the main window.
    HWND topLevel = CreateWindowW(L"VelmoraDelayTest", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND control = CreateWindowW(L"VelmoraDelayTest", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10, 10,
                                 topLevel, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(control, nullptr);
    PostMessageW(control, WM_KEYDOWN, VK_TAB, 0);
    loop.delay(1);
    EXPECT_EQ(keyDowns, 1);  // no dialog window: the key reaches the control

    loop.setDialogWindow(topLevel);
    PostMessageW(control, WM_KEYDOWN, VK_TAB, 0);
    loop.delay(1);
    EXPECT_EQ(keyDowns, 1);  // the dialog manager took it as navigation
    DestroyWindow(topLevel);
}

TEST_F(DelayTest, leavesQuitForTheMainLoop) {
    PostQuitMessage(3);
    loop.delay(1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

// A program that runs for the given milliseconds.
std::unique_ptr<RunningProgram> sleeper(int milliseconds) {
    const std::string child = narrow(testing::programFolder()) + "\\velmora_test_child.exe";
    return Win32Processes().start(child, "velmora_test_child sleep " + std::to_string(milliseconds) + " NUL",
                                  Processes::Window::hidden);
}

TEST_F(DelayTest, waitForDispatchesMessagesUntilTheProgramEnds) {
    SetTimer(window, 1, 100, nullptr);
    const auto program = sleeper(1500);
    ASSERT_NE(program, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(loop.waitFor(*program), std::optional<std::uint32_t>(0));
    KillTimer(window, 1);
    EXPECT_GE(GetTickCount() - start, 1000u);
    EXPECT_GE(timerTicks, 5);
}

TEST_F(DelayTest, aBoundedWaitGivesUpOnAProgramThatRunsOnAndReturnsForOneThatEnds) {
    SetTimer(window, 1, 100, nullptr);
    const auto runsOn = sleeper(60000);
    const auto endsSoon = sleeper(300);
    ASSERT_NE(runsOn, nullptr);
    ASSERT_NE(endsSoon, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(loop.waitAtMost(*runsOn, 700), std::nullopt);
    EXPECT_GE(GetTickCount() - start, 600u);
    EXPECT_EQ(runsOn->exitStatus(), std::nullopt) << "given up on, not ended";
    EXPECT_GE(timerTicks, 3) << "messages ran meanwhile";
    runsOn->terminate();
    EXPECT_EQ(loop.waitAtMost(*endsSoon, 30000), std::optional<std::uint32_t>(0));
    KillTimer(window, 1);
}

RunningProgram* programToEnd = nullptr;

VOID CALLBACK endProgram(HWND, UINT, UINT_PTR, DWORD) {
    programToEnd->terminate();
}

TEST_F(DelayTest, aHandlerInsideWaitForCanEndTheProgram) {
    const auto program = sleeper(60000);
    ASSERT_NE(program, nullptr);
    programToEnd = program.get();
    SetTimer(window, 2, 200, endProgram);
    EXPECT_EQ(loop.waitFor(*program), std::optional<std::uint32_t>(ERROR_CANCELLED));
    KillTimer(window, 2);
}

// A policy run that hangs: the wait gives up at its limit, with messages dispatched meanwhile,
// and leaves the program to be ended by the caller, which then reads its status.
TEST_F(DelayTest, aWaitWithALimitGivesUpOnAProgramThatRunsPastIt) {
    SetTimer(window, 1, 100, nullptr);
    const auto program = sleeper(60000);
    ASSERT_NE(program, nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(loop.waitAtMost(*program, 1000), std::nullopt);
    KillTimer(window, 1);
    EXPECT_GE(GetTickCount() - start, 1000u);
    EXPECT_GE(timerTicks, 5);
    EXPECT_EQ(program->exitStatus(), std::nullopt);
    program->terminate();
    EXPECT_EQ(loop.waitAtMost(*program, 5000), std::optional<std::uint32_t>(ERROR_CANCELLED));
}

int waitCalls = 0;
DWORD wakeMaskSeen = 0;

DWORD WINAPI recordingWait(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds, DWORD wakeMask) {
    ++waitCalls;
    wakeMaskSeen = wakeMask;
    return MsgWaitForMultipleObjects(count, handles, all, milliseconds, wakeMask);
}

// As on Windows 2000 given a mask it does not know.
DWORD WINAPI failingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
    ++waitCalls;
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
}

ULONGLONG processorTime100ns() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return value(kernel) + value(user);
}

TEST(DelayWaitCall, asksOnlyForMessageKindsThatWindows2000Knows) {
    waitCalls = 0;
    Win32EventLoop loop(recordingWait);
    loop.delay(1);
    ASSERT_GE(waitCalls, 1);
    EXPECT_EQ(wakeMaskSeen & QS_RAWINPUT, 0u);
    EXPECT_EQ(wakeMaskSeen & (QS_POSTMESSAGE | QS_TIMER | QS_SENDMESSAGE | QS_KEY | QS_MOUSE),
              static_cast<DWORD>(QS_POSTMESSAGE | QS_TIMER | QS_SENDMESSAGE | QS_KEY | QS_MOUSE));
}

TEST(DelayWaitCall, thatFailsSleepsBetweenLooksInsteadOfSpinning) {
    waitCalls = 0;
    Win32EventLoop loop(failingWait);
    const ULONGLONG before = processorTime100ns();
    const DWORD start = GetTickCount();
    loop.delay(1);
    const DWORD elapsed = GetTickCount() - start;
    ::testing::Test::RecordProperty("processorMs", static_cast<int>((processorTime100ns() - before) / 10000));
    EXPECT_GE(elapsed, 1000u);
    // A second of short sleeps is about a hundred looks at the queue; a spinning wait makes
    // hundreds of thousands.
    EXPECT_LE(waitCalls, 1000 / static_cast<int>(kFallbackSleepMs) * 2);
}

TEST(TicksSince, survivesTheTickCountWrapAround) {
    EXPECT_EQ(ticksSince(1000, 2500), 1500u);
    EXPECT_EQ(ticksSince(0xFFFFFC18u, 0x000001F4u), 1500u);  // 1000 ms before the wrap, 500 after
}

}  // namespace
}  // namespace velmora
