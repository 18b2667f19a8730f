// Replays one seed of the session simulation and prints its steps, shrunk when it breaks an
// invariant: velmora_simulate <seed> [events at the top].
#include <cstdio>
#include <cstdlib>

#include "tests/simulation/session_simulation.h"

int main(int argc, char** argv) {
    using namespace velmora::simulation;
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora_simulate <seed> [events]\n");
        return 2;
    }
    const std::uint64_t seed = std::strtoull(argv[1], nullptr, 10);
    const int events = argc > 2 ? std::atoi(argv[2]) : 40;
    ChoiceTape tape(seed);
    RunResult result = runSession(tape, events);
    if (result.violation) {
        ChoiceTape shrunk(shrink(tape.choices(), result.violation->invariant, events));
        result = runSession(shrunk, events);
        std::printf("choices:");
        for (const std::uint32_t choice : shrunk.choices()) {
            std::printf(" %u", choice);
        }
        std::printf("\n");
    }
    for (const std::string& step : result.steps) {
        std::printf("%s\n", step.c_str());
    }
    if (result.violation) {
        std::printf("seed %llu breaks %s: %s\n", static_cast<unsigned long long>(seed),
                    invariantName(result.violation->invariant), result.violation->detail.c_str());
        return 1;
    }
    std::printf("seed %llu holds every invariant (%ld events, %ld checks)\n", static_cast<unsigned long long>(seed),
                result.events, result.checks);
    return 0;
}
