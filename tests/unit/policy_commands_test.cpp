#include "core/ipsec/policy_commands.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

ConnProfile policyProfile() {
    ConnProfile p = designTimeProfile();  // local 10.10.10.4, peer 10.0.0.0, mask 255.255.0.0
    p.comalg = "ESP-3DES-SHA";
    p.txtpreshare = "k3y!";
    return p;
}

TEST(Getalg, mapsEachSuiteToItsTransform) {
    EXPECT_EQ(getalg("ESP-DES"), "ESP[DES,NONE]");
    EXPECT_EQ(getalg("ESP-3DES"), "ESP[3DES,NONE]");
    EXPECT_EQ(getalg("ESP-DES-MD5"), "ESP[DES,MD5]");
    EXPECT_EQ(getalg("ESP-3DES-MD5"), "ESP[3DES,MD5]");
    EXPECT_EQ(getalg("ESP-DES-SHA"), "ESP[DES,SHA]");
    EXPECT_EQ(getalg("ESP-3DES-SHA"), "ESP[3DES,SHA]");
}

TEST(Getalg, anythingElseIsEmpty) {
    EXPECT_EQ(getalg("esp-3des-sha"), "");
    EXPECT_EQ(getalg(" ESP-DES"), "");
    EXPECT_EQ(getalg("ESP-DES "), "");
    EXPECT_EQ(getalg(""), "");
}

TEST(PolicyLines, workedExample) {
    const PolicyLines lines = policyLines(policyProfile(), "ipseccmd", " -x");
    EXPECT_EQ(lines.outbound,
              "ipseccmd -w REG -p \"corvinaltexum\" -r \"windows to zerta\" "
              "-f 10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0 -n ESP[3DES,SHA]3600s/100000k "
              "-a preshare:k3y! -t 10.0.0.0 -x");
    EXPECT_EQ(lines.inbound,
              "ipseccmd -w REG -p \"corvinaltexum\" -r \"zerta to windows\" "
              "-f 10.0.0.0/255.255.0.0=10.10.10.4/255.255.255.255 -n ESP[3DES,SHA]3600s/100000k "
              "-a preshare:k3y! -t 10.10.10.4 -x");
}

TEST(PolicyLines, eachSuiteGoesStraightBeforeTheRekeyText) {
    const std::vector<std::pair<std::string, std::string>> suites = {
        {"ESP-DES", "ESP[DES,NONE]"},     {"ESP-3DES", "ESP[3DES,NONE]"}, {"ESP-DES-MD5", "ESP[DES,MD5]"},
        {"ESP-3DES-MD5", "ESP[3DES,MD5]"}, {"ESP-DES-SHA", "ESP[DES,SHA]"}, {"ESP-3DES-SHA", "ESP[3DES,SHA]"},
    };
    for (const auto& [suite, transform] : suites) {
        ConnProfile p = policyProfile();
        p.comalg = suite;
        const PolicyLines lines = policyLines(p, "ipsecpol", " -x");
        const std::string option = " -n " + transform + "3600s/100000k -a ";
        EXPECT_NE(lines.outbound.find(option), std::string::npos) << lines.outbound;
        EXPECT_NE(lines.inbound.find(option), std::string::npos) << lines.inbound;
    }
}

TEST(PolicyLines, unknownSuiteLeavesTheRekeyTextAlone) {
    ConnProfile p = policyProfile();
    p.comalg = "AES";
    EXPECT_EQ(policyLines(p, "ipsecpol", " -y").outbound,
              "ipsecpol -w REG -p \"corvinaltexum\" -r \"windows to zerta\" "
              "-f 10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0 -n 3600s/100000k "
              "-a preshare:k3y! -t 10.0.0.0 -y");
}

TEST(PolicyLines, withdrawingDiffersOnlyInTheLastCharacter) {
    const PolicyLines on = policyLines(policyProfile(), "ipseccmd", " -x");
    const PolicyLines off = policyLines(policyProfile(), "ipseccmd", " -y");
    EXPECT_EQ(on.outbound.substr(0, on.outbound.size() - 1), off.outbound.substr(0, off.outbound.size() - 1));
    EXPECT_EQ(on.inbound.substr(0, on.inbound.size() - 1), off.inbound.substr(0, off.inbound.size() - 1));
    EXPECT_EQ(off.outbound.back(), 'y');
    EXPECT_EQ(off.inbound.back(), 'y');
    EXPECT_NE(on.outbound, off.outbound);
}

TEST(PolicyLines, invalidPeerOrMaskFiltersNetworkZeroButTheEndpointStaysAsTyped) {
    ConnProfile p = policyProfile();
    p.txtpeer = " 10.0.0.300 ";
    const PolicyLines lines = policyLines(p, "ipseccmd", " -x");
    EXPECT_EQ(lines.outbound,
              "ipseccmd -w REG -p \"corvinaltexum\" -r \"windows to zerta\" "
              "-f 10.10.10.4/255.255.255.255=0.0.0.0/255.255.0.0 -n ESP[3DES,SHA]3600s/100000k "
              "-a preshare:k3y! -t 10.0.0.300 -x");
    EXPECT_EQ(lines.inbound,
              "ipseccmd -w REG -p \"corvinaltexum\" -r \"zerta to windows\" "
              "-f 0.0.0.0/255.255.0.0=10.10.10.4/255.255.255.255 -n ESP[3DES,SHA]3600s/100000k "
              "-a preshare:k3y! -t 10.10.10.4 -x");

    p = policyProfile();
    p.txtpeermask = "255.255.x.0";
    EXPECT_NE(policyLines(p, "ipseccmd", " -x").outbound.find("=0.0.0.0/255.255.x.0 "), std::string::npos);
}

TEST(PolicyLines, outboundEndpointIsThePeerAsTypedNotItsNetwork) {
    ConnProfile p = policyProfile();
    p.txtpeer = "10.0.0.1";
    const PolicyLines lines = policyLines(p, "ipseccmd", " -x");
    EXPECT_NE(lines.outbound.find("=10.0.0.0/255.255.0.0 -n "), std::string::npos);
    EXPECT_EQ(lines.outbound.substr(lines.outbound.size() - 15), " -t 10.0.0.1 -x");
}

TEST(PolicyLines, aKeyWithABlankIsQuotedAsOneArgument) {
    ConnProfile p = policyProfile();
    p.txtpreshare = "  a key  ";
    const PolicyLines lines = policyLines(p, "ipseccmd", " -x");
    EXPECT_NE(lines.outbound.find(" -a preshare:\"a key\" -t 10.0.0.0 -x"), std::string::npos) << lines.outbound;
    EXPECT_NE(lines.inbound.find(" -a preshare:\"a key\" -t 10.10.10.4 -x"), std::string::npos) << lines.inbound;
}

TEST(PolicyLines, remoteNetworkTwoIsNeverPartOfThePolicy) {
    ConnProfile p = policyProfile();
    p.txtpeer2 = "172.31.0.0";
    p.txtpeermask2 = "255.255.0.0";
    const PolicyLines with = policyLines(p, "ipseccmd", " -x");
    p.txtpeer2 = "";
    p.txtpeermask2 = "";
    const PolicyLines without = policyLines(p, "ipseccmd", " -x");
    EXPECT_EQ(with.outbound, without.outbound);
    EXPECT_EQ(with.inbound, without.inbound);
}

}  // namespace
}  // namespace velmora
