// EventLoop over the thread's message queue.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/event_loop.h"

namespace velmora {

// Milliseconds from one GetTickCount reading to a later one, right across the wrap-around
// of the 32-bit count after 49.7 days.
inline std::uint32_t ticksSince(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

// Every kind of message the window can receive, without QS_RAWINPUT: the headers' QS_ALLINPUT
// carries it, and Windows 2000 fails the whole wait on a mask it does not know.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;

// What a wait sleeps between two looks at the queue when the system refuses to wait on it.
constexpr DWORD kFallbackSleepMs = 10;

class Win32EventLoop : public EventLoop {
public:
    // The call that sleeps until a message comes or the time is up; MsgWaitForMultipleObjects
    // outside tests.
    using WaitCall = DWORD(WINAPI*)(DWORD count, const HANDLE* handles, BOOL all, DWORD milliseconds,
                                    DWORD wakeMask);

    explicit Win32EventLoop(WaitCall wait = MsgWaitForMultipleObjects) : wait_(wait) {}

    // Sleeps on the message queue (no spinning, also where the wait call fails), dispatching
    // each message as it arrives, and measures the time with GetTickCount differences.
    // A WM_QUIT ends the wait early and is left in the queue for the main loop.
    void delay(int seconds) override;

    // Sleeps on the program's handle and the message queue together, dispatching each message as
    // it arrives, until the program has ended; a WM_QUIT ends the wait early, as in delay.
    std::optional<std::uint32_t> waitFor(RunningProgram& program) override;
    // The same, measuring the limit with GetTickCount differences as delay does.
    std::optional<std::uint32_t> waitAtMost(RunningProgram& program, std::uint32_t milliseconds) override;

    void pause(std::uint32_t milliseconds) override;

    // Messages go through this window's dialog manager first, as in the main loop, so that
    // Tab and the arrow keys keep working while a wait runs.
    void setDialogWindow(HWND window) { dialogWindow_ = window; }

private:
    bool dispatchPending();
    void sleepFor(DWORD total);
    std::optional<std::uint32_t> wait(RunningProgram& program, DWORD total);

    WaitCall wait_;
    HWND dialogWindow_ = nullptr;
};

}  // namespace velmora
