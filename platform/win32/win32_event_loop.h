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

class Win32EventLoop : public EventLoop {
public:
    // Sleeps on the message queue (no spinning), dispatching each message as it arrives,
    // and measures the time with GetTickCount differences.
    // A WM_QUIT ends the wait early and is left in the queue for the main loop.
    void delay(int seconds) override;

    // Messages go through this window's dialog manager first, as in the main loop, so that
    // Tab and the arrow keys keep working while a wait runs.
    void setDialogWindow(HWND window) { dialogWindow_ = window; }

private:
    bool dispatchPending();

    HWND dialogWindow_ = nullptr;
};

}  // namespace velmora
