#include "core/connection/hang_up.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_remote_access.h"

namespace velmora {
namespace {

constexpr std::uint32_t kLooksInTheBound = kHangUpWaitMs / 100;

// Runs the event inside the pause-th wait from now (0: the next one).
void atPause(testing::FakeEventLoop& loop, int pause, const std::function<void()>& event) {
    if (pause == 0) {
        loop.duringNextDelay(event);
    } else {
        loop.duringNextDelay([&loop, pause, event] { atPause(loop, pause - 1, event); });
    }
}

// The wait ends when the service says the connection is gone, and only then: a status it cannot
// tell (a moment after a resume) is a connection that may still be there, waited for within the
// same bound.
TEST(HangUpWaitTest, waitsUntilTheServiceSaysGoneOrTheBoundHasPassed) {
    const struct {
        const char* what;
        int lingerLooks;
        int unansweredLooks;  // -1: never answered
        std::uint32_t pauses;
        bool unfinished;
    } rows[] = {
        {"gone at once", 0, 0, 0, false},
        {"still there for three looks", 3, 0, 3, false},
        {"no answer for five looks, then gone", 0, 5, 5, false},
        {"no answer for five looks, then still there for two", 2, 5, 7, false},
        {"never answered", 0, -1, kLooksInTheBound, true},
        {"still there past the bound", 1000, 0, kLooksInTheBound, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testing::FakeRemoteAccess ras;
        testing::FakeEventLoop loop;
        testing::MemoryLog log;
        ras.connect(7, "corvinaltexum");
        ras.lingerLooks = row.lingerLooks;
        ras.hangUp(7);
        if (row.unansweredLooks != 0) {
            ras.unanswered.insert(7);
        }
        if (row.unansweredLooks > 0) {
            atPause(loop, row.unansweredLooks - 1, [&ras] { ras.unanswered.clear(); });
        }
        waitUntilGone(ras, loop, log.log, {7});
        EXPECT_EQ(static_cast<std::uint32_t>(loop.pauses), row.pauses);
        EXPECT_EQ(log.file.lines.size(), row.unfinished ? 1u : 0u);
    }
}

}  // namespace
}  // namespace velmora
