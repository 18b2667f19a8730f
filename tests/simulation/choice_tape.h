// Every decision of a simulated run, drawn from one seed or replayed from a list: the same list
// gives the same run, and a shorter or smaller list gives a simpler one (0 is always the plainest
// choice: nothing happens, the first option).
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace velmora::simulation {

class ChoiceTape {
public:
    // Draws from a generator seeded with the number, recording each choice.
    explicit ChoiceTape(std::uint64_t seed) : generator_(seed), fromSeed_(true) {}
    // Replays the choices; past their end every draw is 0 and the tape counts as run out.
    explicit ChoiceTape(std::vector<std::uint32_t> choices) : choices_(std::move(choices)) {}

    // A choice in [0, options); options must be at least 1.
    std::uint32_t draw(std::uint32_t options) {
        if (fromSeed_) {
            const auto choice = static_cast<std::uint32_t>(generator_() % options);
            choices_.push_back(choice);
            return choice;
        }
        if (next_ >= choices_.size()) {
            runOut_ = true;
            return 0;
        }
        return choices_[next_++] % options;
    }
    // True one time in the given number, else false.
    bool oneIn(std::uint32_t times) { return draw(times) == times - 1; }

    bool runOut() const { return runOut_; }
    // The choices drawn so far (from a seed), or the list replayed.
    const std::vector<std::uint32_t>& choices() const { return choices_; }

private:
    std::mt19937_64 generator_;
    std::vector<std::uint32_t> choices_;
    std::size_t next_ = 0;
    bool fromSeed_ = false;
    bool runOut_ = false;
};

}  // namespace velmora::simulation
