// The session simulation's long run: seeds one after another until a million events have been
// delivered; prints events per second and the invariant checks made, and any seed that broke one.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/simulation/session_simulation.h"

int main(int argc, char** argv) {
    using namespace velmora::simulation;
    const long target = argc > 1 ? std::atol(argv[1]) : 1000000;
    long events = 0;
    long checks = 0;
    long broken = 0;
    std::uint64_t seed = 1000000;
    const auto start = std::chrono::steady_clock::now();
    for (; events < target; ++seed) {
        ChoiceTape tape(seed);
        const RunResult result = runSession(tape, 40);
        events += result.events;
        checks += result.checks;
        if (result.violation) {
            ++broken;
            std::printf("seed %llu breaks %s: %s\n", static_cast<unsigned long long>(seed),
                        invariantName(result.violation->invariant), result.violation->detail.c_str());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld events in %llu seeds, %.1f s: %.0f events/s, %ld invariant checks, %ld seeds broke one\n",
                events, static_cast<unsigned long long>(seed - 1000000), seconds, events / seconds, checks, broken);
    return broken == 0 ? 0 : 1;
}
