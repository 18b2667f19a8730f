// An event loop on a virtual clock: a test queues what the window would receive during the
// next wait (a timer tick, a click), so re-entrancy is exercised rather than assumed.
#pragma once

#include <deque>
#include <functional>

#include "platform/event_loop.h"
#include "tests/fakes/fake_processes.h"

namespace velmora::testing {

class FakeEventLoop : public EventLoop {
public:
    // Advances the clock and runs the events queued for this wait, each of which may wait itself.
    void delay(int seconds) override {
        ++delays;
        runPending();
        elapsedSeconds += seconds;
    }

    // Runs the events queued for this wait, then lets the program end unless it is held open
    // (or ended meanwhile); nothing when it is still running then.
    std::optional<std::uint32_t> waitFor(RunningProgram& program) override {
        ++waits;
        runPending();
        if (auto* fake = dynamic_cast<FakeRunningProgram*>(&program)) {
            fake->runToEnd();
        } else if (behindRemoteProgram) {
            behindRemoteProgram();
        }
        return program.exitStatus();
    }

    void pause(std::uint32_t milliseconds) override {
        ++pauses;
        runPending();
        elapsedMilliseconds += milliseconds;
    }

    // As waitFor; a program held open takes the whole time and is still running after it.
    std::optional<std::uint32_t> waitAtMost(RunningProgram& program, std::uint32_t milliseconds) override {
        const std::optional<std::uint32_t> status = waitFor(program);
        if (!status) {
            elapsedMilliseconds += milliseconds;
        }
        return status;
    }

    // Queues an event to run inside the next wait (a delay or a wait for a program).
    void duringNextDelay(std::function<void()> event) { pending_.push_back(std::move(event)); }

    // Lets what stands behind a program of another's (a run of the service's) end by itself.
    std::function<void()> behindRemoteProgram;

    int delays = 0;
    int waits = 0;
    int elapsedSeconds = 0;
    int pauses = 0;
    std::uint32_t elapsedMilliseconds = 0;

private:
    void runPending() {
        std::deque<std::function<void()>> events;
        events.swap(pending_);
        for (auto& event : events) {
            event();
        }
    }

    std::deque<std::function<void()>> pending_;
};

}  // namespace velmora::testing
