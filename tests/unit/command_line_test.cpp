#include "core/text/command_line.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(QuoteArgument, leavesOrdinaryValuesAsTheyAre) {
    EXPECT_EQ(quoteArgument("vpnuser"), "vpnuser");
    EXPECT_EQ(quoteArgument("p@ss\\w0rd\\"), "p@ss\\w0rd\\");  // backslashes alone need nothing
    EXPECT_EQ(quoteArgument("密码"), "密码");
}

TEST(QuoteArgument, givesAnEmptyValueAsAnEmptyArgument) {
    EXPECT_EQ(quoteArgument(""), "\"\"");
}

TEST(QuoteArgument, quotesBlanksAndTabs) {
    EXPECT_EQ(quoteArgument("a key"), "\"a key\"");
    EXPECT_EQ(quoteArgument("a\tkey"), "\"a\tkey\"");
    EXPECT_EQ(quoteArgument(" "), "\" \"");
}

TEST(QuoteArgument, escapesQuotesAndTheBackslashesBeforeThem) {
    EXPECT_EQ(quoteArgument("say\"hi"), "\"say\\\"hi\"");
    EXPECT_EQ(quoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");  // a\"b: the backslash doubled, the quote escaped
    EXPECT_EQ(quoteArgument("\""), "\"\\\"\"");
}

TEST(QuoteArgument, doublesTrailingBackslashesSoTheClosingQuoteStands) {
    EXPECT_EQ(quoteArgument("C:\\my folder\\"), "\"C:\\my folder\\\\\"");
    EXPECT_EQ(quoteArgument("a b\\\\"), "\"a b\\\\\\\\\"");
    EXPECT_EQ(quoteArgument("a\\b c"), "\"a\\b c\"");  // inner backslashes stay single
}

}  // namespace
}  // namespace velmora
