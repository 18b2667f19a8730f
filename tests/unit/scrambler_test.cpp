#include "core/settings/scrambler.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// The symbols by nibble, as files hold them: K 7 q M x 3 R f W 9 d T h 5 P z.

TEST(NibbleToSymbol, mapsTheSixteenNibblesAndNothingElse) {
    EXPECT_EQ(nibbleToSymbol(0), "K");
    EXPECT_EQ(nibbleToSymbol(6), "R");
    EXPECT_EQ(nibbleToSymbol(10), "d");
    EXPECT_EQ(nibbleToSymbol(15), "z");
    EXPECT_EQ(nibbleToSymbol(16), "");
    EXPECT_EQ(nibbleToSymbol(-1), "");
}

TEST(SymbolToNibble, readsSymbolsAndCountsAnythingElseAsTen) {
    const std::string symbols = "K7qMx3RfW9dTh5Pz";
    for (int nibble = 0; nibble < 16; ++nibble) {
        EXPECT_EQ(symbolToNibble(std::string(1, symbols[static_cast<std::size_t>(nibble)])), nibble);
        EXPECT_EQ(symbolToNibble(nibbleToSymbol(nibble)), nibble);
    }
    EXPECT_EQ(symbolToNibble("k"), 10);
    EXPECT_EQ(symbolToNibble("#"), 10);
    EXPECT_EQ(symbolToNibble(""), 10);
    EXPECT_EQ(symbolToNibble("KK"), 10);
    EXPECT_EQ(symbolToNibble("密"), 10);
}

TEST(ByteToSymbols, writesTheHighNibbleFirst) {
    EXPECT_EQ(byteToSymbols(0), "KK");
    EXPECT_EQ(byteToSymbols(0x62), "Rq");
    EXPECT_EQ(byteToSymbols(0x1F), "7z");
    EXPECT_EQ(byteToSymbols(255), "zz");
    // A high nibble of 16 or more has no symbol.
    EXPECT_EQ(byteToSymbols(256), "K");
    EXPECT_EQ(byteToSymbols(300), "h");
}

TEST(ScrambleText, reversesTheSymbolsOfCodePlusPosition) {
    EXPECT_EQ(scrambleText("abc"), "RRxRqR");  // 98 100 102
    EXPECT_EQ(scrambleText("key123"), "9MfM3MhffRhR");  // 108 103 124 53 55 57
    EXPECT_EQ(scrambleText("aa"), "MRqR");  // the same character, another pair at each position
    EXPECT_EQ(scrambleText(""), "");
}

TEST(ScrambleText, refusesWhatTheSchemeCannotCarry) {
    EXPECT_EQ(scrambleText(std::string(129, '~')).value_or("").size(), 258u);  // 126 + 129 = 255
    EXPECT_FALSE(scrambleText(std::string(130, '~')));                       // 126 + 130 = 256
    EXPECT_EQ(scrambleText("\xFE"), "zz");
    EXPECT_FALSE(scrambleText("\xFF"));
    EXPECT_FALSE(scrambleText(std::string(1, '\0')));
    EXPECT_EQ(scrambleText(std::string(200, '!')).value_or("").size(), 400u);
    EXPECT_FALSE(scrambleText(std::string(201, '!')));
}

TEST(UnscrambleText, restoresTheWorkedExamples) {
    EXPECT_EQ(unscrambleText("RRxRqR"), "abc");
    EXPECT_EQ(unscrambleText("9MfM3MhffRhR"), "key123");
    EXPECT_EQ(unscrambleText(""), "");
}

TEST(UnscrambleText, keepsASpaceInsideTheSecret) {
    ASSERT_EQ(scrambleText("a b"), "3RqqqR");  // 98 34 101
    EXPECT_EQ(unscrambleText("3RqqqR"), "a b");
}

TEST(UnscrambleText, ignoresTheFirstSymbolOfAnOddLine) {
    EXPECT_EQ(unscrambleText("zRRxRqR"), "abc");
    EXPECT_EQ(unscrambleText("R"), "");
}

TEST(UnscrambleText, readsAnUnknownSymbolAsTen) {
    EXPECT_EQ(unscrambleText("RRxRq#"), "\xA1" "bc");  // (10, 2) = 162, less position 1
    EXPECT_EQ(unscrambleText("RRxRq#"), unscrambleText("RRxRqd"));
}

TEST(UnscrambleText, countsCharactersNotBytes) {
    // Two characters, six bytes: one pair (10, 10) = 170, less position 1.
    EXPECT_EQ(unscrambleText("密码"), "\xA9");
}

TEST(UnscrambleText, leavesOutCodesBelowOne) {
    EXPECT_EQ(unscrambleText("7K"), "");        // 1 - 1 = 0
    EXPECT_EQ(unscrambleText("KK"), "");        // 0 - 1
    EXPECT_EQ(unscrambleText("RRxRKK"), "bc");  // the first pair gives nothing, the rest as usual
}

TEST(UnscrambleText, restoresLinesThatEarlierVersionsCutShortAsBefore) {
    // Code 255 at position 1 was written as the low symbol alone, then 'a' at position 2 as "RM":
    // the pairs are read misaligned from there on.
    EXPECT_EQ(unscrambleText("MRK"), "\x05");
}

TEST(UnscrambleText, readsAtMostTwoHundredPairs) {
    const std::string full = *scrambleText(std::string(200, '!'));
    EXPECT_EQ(unscrambleText(full), std::string(200, '!'));
    EXPECT_EQ(unscrambleText("K" + full), std::string(200, '!'));
    // More than the program ever writes holds nothing.
    EXPECT_EQ(unscrambleText("KK" + full), "");
    EXPECT_EQ(unscrambleText(std::string(100000, 'K')), "");
}

TEST(ScrambleRoundTrip, everyCodeAtEveryPositionItFits) {
    for (int code = 1; code <= 254; ++code) {
        const std::size_t length = std::min<std::size_t>(kMaxSecretChars, static_cast<std::size_t>(255 - code));
        const std::string secret(length, static_cast<char>(code));
        const auto line = scrambleText(secret);
        ASSERT_TRUE(line) << code;
        EXPECT_EQ(line->size(), 2 * length);
        EXPECT_EQ(unscrambleText(*line), secret) << code;
    }
}

}  // namespace
}  // namespace velmora
