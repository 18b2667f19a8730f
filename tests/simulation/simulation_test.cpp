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
    return value != nullptr ? std::atoi(value) : 20000;
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

// Runs the simulation once broke, shrunk, each kept with what it showed.
struct FoundRun {
    const char* name;
    std::vector<std::uint32_t> choices;
};

class FoundRuns : public ::testing::TestWithParam<FoundRun> {};

TEST_P(FoundRuns, holdEveryInvariant) {
    ChoiceTape tape(GetParam().choices);
    const RunResult result = runSession(tape, kTopEvents);
    std::string steps;
    for (const std::string& step : result.steps) {
        steps += step + "\n";
    }
    EXPECT_FALSE(result.violation) << steps;
}

INSTANTIATE_TEST_SUITE_P(
    Simulation, FoundRuns,
    ::testing::Values(
        // A script's Stop while the dial's address snapshot told of a failure: the dial went on.
        FoundRun{"stopWhileTheDialIsPrepared", {0, 0, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1}},
        // Connect over a link whose address nobody knew applied the saved address.
        FoundRun{"connectOverALinkOfUnknownAddress",
                 {0, 1, 0, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 6, 0, 0, 0, 0, 1, 3, 0, 0, 0, 0, 0, 5, 0, 7,
                  0, 11, 0, 0}},
        // /connect during a Stop's withdrawal answered "a dial is under way".
        FoundRun{"connectDuringAWithdrawal", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 3, 0, 1, 0, 3}},
        // The auto-dial redialled under 连接状态's box, where no click reaches 停止.
        FoundRun{"autoDialUnderTheStatusBox", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21, 0, 7, 0, 3, 0, 4}},
        // A script's /connect opened a box for the field check, waiting for nobody.
        FoundRun{"scriptConnectRefusedByAField",
                 {2, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 28, 0, 0, 0, 0, 0, 0, 0, 11, 0, 12}},
        // The network check of a script's dial answered 5 behind a box.
        FoundRun{"scriptDialRefusedByTheNetworkCheck", {0, 0, 0, 0, 12, 0, 3, 0, 3, 2}},
        // On XP a Stop's withdrawal whose ipseccmd hung was not waited for: the close found nothing
        // to withdraw and the policy stayed.
        FoundRun{"aHungWithdrawalOnXp",
                 {0, 27, 0, 0, 24, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 13, 0, 0,
                  0, 7, 0, 0, 0, 29}},
        // On XP an apply whose ipseccmd hung was not waited for: /connect answered 0 over half a policy.
        FoundRun{"aHungApplyOnXp", {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 12}},
        // /connect answered 0 for a link that came back with another address, not yet protected.
        FoundRun{"connectOverALinkThatCameBackElsewhere",
                 {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 21, 0, 23, 1, 0, 0, 12}},
        // /connect under the success box answered 0 before the dial's new address was protected.
        FoundRun{"connectBeforeTheNewAddressIsProtected", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 3}},
        // Ticks inside a hang-up's long wait showed 已连接 for a link already gone.
        FoundRun{"theStatusDuringALongHangUp",
                 {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 25, 0, 13, 3, 0, 17, 3, 0, 17}}),
    [](const ::testing::TestParamInfo<FoundRun>& info) { return std::string(info.param.name); });

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
