#include "core/text/text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(CharCount, countsCharactersNotBytes) {
    EXPECT_EQ(charCount(""), 0u);
    EXPECT_EQ(charCount("10.0.0.0"), 8u);
    EXPECT_EQ(charCount("连接"), 2u);             // six bytes
    EXPECT_EQ(charCount("WAN 微型端口 (L2TP)"), 15u);
    EXPECT_EQ(charCount("\x80\x80"), 1u);       // stray continuation bytes make one character
}

TEST(SplitChars, keepsEachCharacterWhole) {
    EXPECT_EQ(splitChars(""), std::vector<std::string>{});
    EXPECT_EQ(splitChars("a密b"), (std::vector<std::string>{"a", "密", "b"}));
    EXPECT_EQ(splitChars("\x80\x80z"), (std::vector<std::string>{"\x80\x80", "z"}));
}

TEST(LeftChars, cutsAtCharacterBoundaries) {
    EXPECT_EQ(leftChars("C:\\Documents and Settings", 3), "C:\\");
    EXPECT_EQ(leftChars("C:", 3), "C:");
    EXPECT_EQ(leftChars("文档\\资料", 3), "文档\\");
    EXPECT_EQ(leftChars("文档", 1), "文");
    EXPECT_EQ(leftChars("abc", 0), "");
}

TEST(TrimBlanks, removesOnlyLeadingAndTrailingSpaces) {
    EXPECT_EQ(trimBlanks("  corvinaltexum  "), "corvinaltexum");
    EXPECT_EQ(trimBlanks("a b"), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks(""), "");
    EXPECT_EQ(trimBlanks("\tx\t"), "\tx\t");
    EXPECT_EQ(trimBlanks("　x"), "　x");  // an ideographic space is not a blank
}

}  // namespace
}  // namespace velmora
