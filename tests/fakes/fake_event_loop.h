// An event loop on a virtual clock: a test queues what the window would receive during the
// next wait (a timer tick, a click), so re-entrancy is exercised rather than assumed.
#pragma once

#include <deque>
#include <functional>

#include "platform/event_loop.h"

namespace velmora::testing {

class FakeEventLoop : public EventLoop {
public:
    // Advances the clock and runs the events queued for this wait, each of which may wait itself.
    void delay(int seconds) override {
        ++delays;
        std::deque<std::function<void()>> events;
        events.swap(pending_);
        for (auto& event : events) {
            event();
        }
        elapsedSeconds += seconds;
    }

    // Queues an event to run inside the next call of delay.
    void duringNextDelay(std::function<void()> event) { pending_.push_back(std::move(event)); }

    int delays = 0;
    int elapsedSeconds = 0;

private:
    std::deque<std::function<void()>> pending_;
};

}  // namespace velmora::testing
