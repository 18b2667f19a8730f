// EventLoop over the thread's message queue.
#pragma once

#include "platform/event_loop.h"

namespace velmora {

class Win32EventLoop : public EventLoop {
public:
    // Sleeps on the message queue (no spinning), dispatching each message as it arrives,
    // and measures the time with GetTickCount differences, right across its wrap-around.
    // A WM_QUIT ends the wait early and is left in the queue for the main loop.
    void delay(int seconds) override;
};

}  // namespace velmora
