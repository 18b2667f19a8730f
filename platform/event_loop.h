// Waiting while the window stays responsive.
#pragma once

namespace velmora {

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Returns after the given seconds of elapsed time, dispatching every window message that
    // arrives meanwhile; clicks and timer ticks can therefore run inside it, re-entering callers.
    virtual void delay(int seconds) = 0;
};

}  // namespace velmora
