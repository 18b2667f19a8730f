#include "core/settings/settings_lines.h"

#include <gtest/gtest.h>

#include "tests/data/expected_files.h"
#include "tests/fakes/fake_ansi_codec.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

class ComposeSettingsTest : public ::testing::Test {
protected:
    SettingsLines compose() { return composeSettings(profile, codec); }

    ConnProfile profile = testing::settingsSample();
    testing::FakeAnsiCodec codec;
};

TEST_F(ComposeSettingsTest, trimsSpacesOnlyAndLeavesTheSuiteAsItIs) {
    profile.txtUserName = "\tbob ";
    profile.txtServerAddress = "  vpn  ";
    profile.comalg = " ESP-DES ";
    const Lines lines = compose().lines;
    EXPECT_EQ(lines[7], "\tbob");
    EXPECT_EQ(lines[6], "vpn");
    EXPECT_EQ(lines[5], " ESP-DES ");
}

TEST_F(ComposeSettingsTest, writesYesOnlyForACheckedBoxAndForL2tp) {
    profile.Check1 = kGreyed;
    profile.Check2 = kChecked;
    profile.Check3 = kUnchecked;
    profile.Option1 = kProtocolPptp;
    profile.checkHD = kGreyed;
    const Lines lines = compose().lines;
    EXPECT_EQ(Lines(lines.begin() + 9, lines.begin() + 14), (Lines{"no", "yes", "no", "no", "no"}));
}

TEST_F(ComposeSettingsTest, scramblesTheTrimmedSecretAndLeavesAnEmptyOneEmpty) {
    profile.txtPasswd = "  abc ";
    profile.txtpreshare = "   ";
    const SettingsLines s = compose();
    EXPECT_EQ(s.lines[8], "RRxRqR");
    EXPECT_EQ(s.lines[4], "");
    EXPECT_EQ(s.preshareFault, SecretFault::none);
}

TEST_F(ComposeSettingsTest, storesASecretItCannotCarryAsAnEmptyLine) {
    profile.txtPasswd = "密码123";
    SettingsLines s = compose();
    EXPECT_EQ(s.lines[8], "");
    EXPECT_EQ(s.passwdFault, SecretFault::characters);
    EXPECT_EQ(s.preshareFault, SecretFault::none);
    EXPECT_EQ(s.lines[4], "9MfM3MhffRhR");

    profile.txtPasswd = "abc";
    profile.txtpreshare = std::string(201, 'k');
    s = compose();
    EXPECT_EQ(s.lines[4], "");
    EXPECT_EQ(s.preshareFault, SecretFault::length);
    EXPECT_EQ(s.passwdFault, SecretFault::none);
}

TEST(SplitLines, endsALineAtCrLfCrOrLf) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd", 16), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\r\nb", 16), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\n\rb", 16), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\n\nb\r\n", 16), (Lines{"a", "", "b"}));
}

TEST(SplitLines, endsTheLastLineAtTheEndOfTheText) {
    EXPECT_EQ(splitLines("", 16), Lines{});
    EXPECT_EQ(splitLines("abc", 16), Lines{"abc"});
    EXPECT_EQ(splitLines("abc\r\n", 16), Lines{"abc"});
    EXPECT_EQ(splitLines("\r\n", 16), Lines{""});
    EXPECT_EQ(splitLines("\r\n\r\n", 16), (Lines{"", ""}));
}

TEST(SplitLines, takesNoMoreThanAsked) {
    EXPECT_EQ(splitLines("1\r\n2\r\n3\r\n4", 2), (Lines{"1", "2"}));
    EXPECT_EQ(splitLines("1\r\n2\r\n", 2), (Lines{"1", "2"}));
}

class ParseSettingsTest : public ::testing::Test {
protected:
    // The lines of a usable file, to spoil one at a time.
    Lines lines = {"office", "10.0.0.0", "255.255.0.0", "10.10.10.4", "RRxRqR", "ESP-3DES", "vpn.example.com",
                   "alice", "9MfM3MhffRhR", "yes", "yes", "yes", "yes", "yes", "172.16.0.0", "255.240.0.0"};

    ConnProfile parse() { return parseSettings(lines, codec); }

    testing::FakeAnsiCodec codec;
};

TEST_F(ParseSettingsTest, emptyLinesTakeTheFallbacks) {
    const ConnProfile p = parseSettings(Lines(16), codec);
    EXPECT_EQ(p.txtConnName, "corvinaltexum");
    EXPECT_EQ(p.txtpeer, "0.0.0.0");
    EXPECT_EQ(p.txtpeermask, "255.255.255.0");
    EXPECT_EQ(p.txtlocal, "1.1.1.1");
    EXPECT_EQ(p.txtpreshare, "");
    EXPECT_EQ(p.comalg, "ESP-DES-MD5");
    EXPECT_EQ(p.txtServerAddress, "0.0.0.0");
    EXPECT_EQ(p.txtUserName, "");
    EXPECT_EQ(p.txtPasswd, "");
    EXPECT_EQ(p.Check1, kUnchecked);
    EXPECT_EQ(p.Check2, kUnchecked);
    EXPECT_EQ(p.Check3, kUnchecked);
    EXPECT_EQ(p.Option1, kProtocolPptp);
    EXPECT_EQ(p.checkHD, kUnchecked);
    EXPECT_EQ(p.txtpeer2, "0.0.0.0");
    EXPECT_EQ(p.txtpeermask2, "255.255.255.0");
    EXPECT_EQ(parseSettings(Lines{}, codec).txtpeermask2, "255.255.255.0");
}

TEST_F(ParseSettingsTest, refusedAddressesTakeTheirOwnFallback) {
    lines[1] = "10.0.0.300";
    lines[2] = "255.255.0";
    lines[3] = "x";
    lines[14] = "1.2.3.255.5";
    lines[15] = "255.255.255.0.0.0";  // the last field, 0.0.0, has two decimal points
    const ConnProfile p = parse();
    EXPECT_EQ(p.txtpeer, "0.0.0.0");
    EXPECT_EQ(p.txtpeermask, "255.255.255.0");
    EXPECT_EQ(p.txtlocal, "1.1.1.1");
    EXPECT_EQ(p.txtpeer2, "0.0.0.0");
    EXPECT_EQ(p.txtpeermask2, "255.255.255.0");
}

TEST_F(ParseSettingsTest, takesAnAcceptedAddressAsItIs) {
    lines[1] = " 10.0.0.0";
    lines[3] = "010.010.010.004";
    const ConnProfile p = parse();
    EXPECT_EQ(p.txtpeer, " 10.0.0.0");
    EXPECT_EQ(p.txtlocal, "010.010.010.004");
}

TEST_F(ParseSettingsTest, onlyAnExactYesIsOn) {
    for (const char* notYes : {"Yes", "YES", "yes ", " yes", "1", "true", "no", "No", ""}) {
        for (std::size_t i = 9; i <= 13; ++i) {
            lines[i] = notYes;
        }
        const ConnProfile p = parse();
        EXPECT_EQ(p.Check1, kUnchecked) << notYes;
        EXPECT_EQ(p.Check2, kUnchecked) << notYes;
        EXPECT_EQ(p.Check3, kUnchecked) << notYes;
        EXPECT_EQ(p.Option1, kProtocolPptp) << notYes;
        EXPECT_EQ(p.checkHD, kUnchecked) << notYes;
    }
}

TEST_F(ParseSettingsTest, keepsNameServerAndUserAsStored) {
    lines[0] = " ";
    lines[6] = "not-an-address";
    lines[7] = " bob ";
    const ConnProfile p = parse();
    EXPECT_EQ(p.txtConnName, " ");
    EXPECT_EQ(p.txtServerAddress, "not-an-address");
    EXPECT_EQ(p.txtUserName, " bob ");
}

TEST_F(ParseSettingsTest, refusedSuiteTakesTheFallback) {
    for (const char* suite : {"esp-3des", "ESP-3DES ", "AES", ""}) {
        lines[5] = suite;
        EXPECT_EQ(parse().comalg, "ESP-DES-MD5") << suite;
    }
}

TEST_F(ParseSettingsTest, restoresTheSecretsAsTheyComeOut) {
    lines[4] = "zRRxRqR";  // odd length: the first symbol is ignored
    lines[8] = "3RqqqR";
    const ConnProfile p = parse();
    EXPECT_EQ(p.txtpreshare, "abc");
    EXPECT_EQ(p.txtPasswd, "a b");
}

TEST_F(ParseSettingsTest, aShortListCountsTheMissingLinesAsEmpty) {
    lines.resize(3);
    const ConnProfile p = parse();
    EXPECT_EQ(p.txtConnName, "office");
    EXPECT_EQ(p.txtpeermask, "255.255.0.0");
    EXPECT_EQ(p.txtlocal, "1.1.1.1");
    EXPECT_EQ(p.comalg, "ESP-DES-MD5");
    EXPECT_EQ(p.Option1, kProtocolPptp);
}

}  // namespace
}  // namespace velmora
