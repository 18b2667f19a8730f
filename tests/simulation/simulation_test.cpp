#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/simulation/session_simulation.h"

namespace velmora::simulation {
namespace {

constexpr int kTopEvents = 40;

std::string describe(std::uint64_t seed, const Violation& violation, const std::vector<std::string>& steps) {
    std::string text = "seed " + std::to_string(seed) + " breaks " + invariantName(violation.invariant) + ": " +
                       violation.detail + "\nshrunk steps (replay: velmora_simulate " + std::to_string(seed) + "):\n";
    for (const std::string& step : steps) {
        text += "  " + step + "\n";
    }
    return text;
}

int seedsToRun() {
    const char* value = std::getenv("VELMORA_SIM_SEEDS");
    return value != nullptr ? std::atoi(value) : 3000;
}

TEST(Simulation, everySeedHoldsEveryInvariant) {
    int failures = 0;
    for (int seed = 1; seed <= seedsToRun() && failures < 3; ++seed) {
        ChoiceTape tape(static_cast<std::uint64_t>(seed));
        const RunResult result = runSession(tape, kTopEvents);
        if (result.violation) {
            ++failures;
            ChoiceTape shrunk(shrink(tape.choices(), result.violation->invariant, kTopEvents));
            const RunResult replayed = runSession(shrunk, kTopEvents);
            ADD_FAILURE() << describe(static_cast<std::uint64_t>(seed), *replayed.violation, replayed.steps);
        }
    }
}

// The same choices give the same run, step by step, so a failing seed can be looked at again.
TEST(Simulation, aSeedReplaysExactly) {
    ChoiceTape first(42);
    const RunResult run = runSession(first, kTopEvents);
    ChoiceTape again(first.choices());
    const RunResult replay = runSession(again, kTopEvents);
    EXPECT_EQ(run.steps, replay.steps);
    EXPECT_GT(run.events, kTopEvents / 2);
}

}  // namespace
}  // namespace velmora::simulation
