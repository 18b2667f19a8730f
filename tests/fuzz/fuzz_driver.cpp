// Runs the libFuzzer target linked with it where libFuzzer is not at hand (the Windows tree, under
// Wine), as one GoogleTest case: the seed files of its folder, then a fixed number of inputs from
// a generator with a fixed seed, each made from the seeds by cutting, growing, joining and changing
// bytes. The same inputs on every run, and no clock: a broken promise ends the program, as it ends
// the fuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace velmora {
namespace {

using Input = std::vector<std::uint8_t>;

constexpr int kGeneratedInputs = 1000000;
constexpr std::uint32_t kGeneratorSeed = 20261208;

std::vector<Input> seeds() {
    std::vector<Input> found;
    for (const auto& entry : std::filesystem::directory_iterator(VELMORA_FUZZ_SEEDS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        found.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return found;
}

// One input from the seeds: a seed, changed one to four times.
Input generate(std::mt19937& random, const std::vector<Input>& seeds) {
    const auto below = [&](std::size_t bound) {
        return bound == 0 ? std::size_t{0} : std::uniform_int_distribution<std::size_t>(0, bound - 1)(random);
    };
    Input input = seeds[below(seeds.size())];
    for (std::size_t changes = 1 + below(4); changes > 0; --changes) {
        switch (below(6)) {
        case 0:  // a byte changed
            if (!input.empty()) {
                input[below(input.size())] = static_cast<std::uint8_t>(below(256));
            }
            break;
        case 1:  // bytes put in
            input.insert(input.begin() + static_cast<std::ptrdiff_t>(below(input.size() + 1)), 1 + below(8),
                         static_cast<std::uint8_t>(below(256)));
            break;
        case 2:  // bytes taken out
            if (!input.empty()) {
                const std::size_t from = below(input.size());
                input.erase(input.begin() + static_cast<std::ptrdiff_t>(from),
                            input.begin() + static_cast<std::ptrdiff_t>(from + 1 + below(input.size() - from)));
            }
            break;
        case 3: {  // another seed after it: two frames in one stream
            const Input& other = seeds[below(seeds.size())];
            input.insert(input.end(), other.begin(), other.end());
            break;
        }
        case 4:  // cut short
            input.resize(below(input.size() + 1));
            break;
        default:  // a count or a length near the front set anew
            if (input.size() > 10) {
                input[below(11)] = static_cast<std::uint8_t>(below(2) == 0 ? below(256) : below(4));
            }
            break;
        }
    }
    return input;
}

TEST(FuzzTarget, keepsItsPromisesForTheSeedsAndTheGeneratedInputs) {
    const std::vector<Input> found = seeds();
    ASSERT_FALSE(found.empty());
    for (const Input& seed : found) {
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    }
    std::mt19937 random(kGeneratorSeed);
    for (int i = 0; i < kGeneratedInputs; ++i) {
        const Input input = generate(random, found);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
}

}  // namespace
}  // namespace velmora
