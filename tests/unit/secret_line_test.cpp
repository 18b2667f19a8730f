#include "core/settings/secret_line.h"

#include <gtest/gtest.h>

#include "core/settings/scrambler.h"
#include "tests/fakes/fake_ansi_codec.h"

namespace velmora {
namespace {

class SecretLineTest : public ::testing::Test {
protected:
    std::optional<std::string> store(const std::string& secret) { return secretToLine(secret, codec); }
    std::string restore(const std::string& line) { return lineToSecret(line, codec); }

    testing::FakeAnsiCodec codec;
};

TEST_F(SecretLineTest, storesByCodesInTheAnsiCodePage) {
    EXPECT_EQ(store("abc"), "RRxRqR");
    EXPECT_EQ(store("€"), "7W");  // 0x80 + 1 = 0x81
    EXPECT_EQ(store(""), "");
    EXPECT_EQ(restore("7W"), "€");
}

TEST_F(SecretLineTest, refusesCharactersWithoutASingleByteCodeAndSaysSo) {
    // A long secret with such a character is refused for the character.
    const std::string secrets[] = {"密码", "pass密", "café", "\xC3", std::string(1, '\0'), std::string(300, 'a') + "密"};
    for (const std::string& secret : secrets) {
        EXPECT_FALSE(store(secret));
        EXPECT_EQ(secretFault(secret, codec), SecretFault::characters);
    }
}

TEST_F(SecretLineTest, refusesWhatThePositionsCannotCarryForItsLength) {
    for (const std::string& secret : {std::string(130, '~'), std::string(201, 'a')}) {
        EXPECT_FALSE(store(secret));
        EXPECT_EQ(secretFault(secret, codec), SecretFault::length);
    }
    EXPECT_EQ(secretFault(std::string(129, '~'), codec), SecretFault::none);
}

TEST_F(SecretLineTest, restoresEverythingItStores) {
    const std::string secrets[] = {"abc", "a b c", "p@ss w0rd!", "€€", std::string(129, '~'), std::string(200, '!')};
    for (const std::string& secret : secrets) {
        const auto line = store(secret);
        ASSERT_TRUE(line) << secret;
        EXPECT_EQ(restore(*line), secret);
    }
}

TEST_F(SecretLineTest, neverJoinsTwoRestoredCodesIntoOneCharacter) {
    // A hand-made line holding the GBK code of 微 as two codes, 0xCE then 0xA2.
    EXPECT_EQ(unscrambleText("xdzh"), "\xCE\xA2");
    EXPECT_EQ(restore("xdzh"), "");
    // A lead byte followed by an ordinary letter stays a lone, dropped code.
    EXPECT_EQ(restore("MRzh"), "a");
}

}  // namespace
}  // namespace velmora
