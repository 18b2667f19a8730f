// Waiting while the window stays responsive.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/processes.h"

namespace velmora {

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // Returns after the given seconds of elapsed time, dispatching every window message that
    // arrives meanwhile; clicks and timer ticks can therefore run inside it, re-entering callers.
    virtual void delay(int seconds) = 0;

    // Returns once the program has ended, with its exit status, dispatching every window message
    // meanwhile, as delay does; an event handled there may end the program itself. Nothing when
    // the wait was cut short (the program is ending) or the system would not wait.
    virtual std::optional<std::uint32_t> waitFor(RunningProgram& program) = 0;

    // As delay, for a span in milliseconds: the short looks of a hang-up.
    virtual void pause(std::uint32_t milliseconds) = 0;

    // As waitFor, for at most the given milliseconds: nothing when the program still runs then.
    virtual std::optional<std::uint32_t> waitAtMost(RunningProgram& program, std::uint32_t milliseconds) = 0;
};

}  // namespace velmora
