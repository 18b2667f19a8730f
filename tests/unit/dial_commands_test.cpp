#include "core/connection/dial_commands.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

ConnProfile dialProfile() {
    ConnProfile p = designTimeProfile();
    p.txtServerAddress = " 203.0.113.10 ";
    p.txtUserName = " zhangwei ";
    p.txtPasswd = " secret1 ";
    return p;
}

TEST(RasdialLine, pptpNamesPptpPbkInTheDataFolder) {
    const ConnProfile p = dialProfile();
    EXPECT_EQ(rasdialLine(p, "C:\\"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:C:\\pptp.pbk ");
}

TEST(RasdialLine, l2tpNamesIpsecPbk) {
    ConnProfile p = dialProfile();
    p.Option1 = kProtocolL2tp;
    EXPECT_EQ(rasdialLine(p, "D:\\"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:D:\\ipsec.pbk ");
}

TEST(RasdialLine, noDataFolderLeavesTheBareFileName) {
    EXPECT_EQ(rasdialLine(dialProfile(), ""),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:pptp.pbk ");
}

TEST(RasdialLine, hardwareCodePrefixIsTwelveCharactersInLowerCase) {
    ConnProfile p = dialProfile();
    p.txtHD = "BFEBFBFF000306A9001A2B3C4D5E";
    EXPECT_EQ(dialPassword(p), "bfebfbff0003secret1");
    EXPECT_EQ(rasdialLine(p, "C:\\"),
              "rasdial corvinaltexum zhangwei bfebfbff0003secret1 /PHONE:203.0.113.10 /PHONEBOOK:C:\\pptp.pbk ");
}

TEST(RasdialLine, shortHardwareCodeIsTakenWholeAndUntrimmed) {
    ConnProfile p = dialProfile();
    p.txtHD = "AB1 ";
    EXPECT_EQ(dialPassword(p), "ab1 secret1");
    // The prefix holds a blank now, so the dial password goes in quotes as one argument.
    EXPECT_EQ(rasdialLine(p, "C:\\"),
              "rasdial corvinaltexum zhangwei \"ab1 secret1\" /PHONE:203.0.113.10 /PHONEBOOK:C:\\pptp.pbk ");
}

TEST(RasdialLine, withoutHardwareCodeThePasswordIsAlone) {
    ConnProfile p = dialProfile();
    p.txtHD.clear();
    EXPECT_EQ(dialPassword(p), "secret1");
}

TEST(RasdialLine, valuesWithBlanksOrQuotesReachRasdialAsOneArgumentEach) {
    ConnProfile p = dialProfile();
    p.txtUserName = "li na";
    p.txtPasswd = "pa ss\"word";
    EXPECT_EQ(rasdialLine(p, "C:\\"),
              "rasdial corvinaltexum \"li na\" \"pa ss\\\"word\" /PHONE:203.0.113.10 /PHONEBOOK:C:\\pptp.pbk ");
}

// rasdial runs in the system folder: the phonebook beside the program is named by its full path,
// quoted only when that holds a blank.
TEST(DefaultGateRasdialLine, namesDefaultgatePbkInTheProgramsFolderAndNeverThePrefix) {
    ConnProfile p = dialProfile();
    p.Option1 = kProtocolL2tp;
    p.txtHD = "BFEBFBFF000306A9";
    EXPECT_EQ(defaultGateRasdialLine(p, "C:\\Program Files\\Velmora"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 "
              "/PHONEBOOK:\"C:\\Program Files\\Velmora\\defaultgate.pbk\" ");
    EXPECT_EQ(defaultGateRasdialLine(p, "D:\\VPN"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:D:\\VPN\\defaultgate.pbk ");
}

TEST(RouteLine, worksOutTheDefaultNetwork) {
    EXPECT_EQ(routeLine("10.0.0.0", "255.255.0.0", "10.10.10.4"),
              "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1");
}

TEST(RouteLine, keepsTheMaskAsTyped) {
    EXPECT_EQ(routeLine("192.168.0.0", "255.255.000.000", "10.10.10.4"),
              "route add 192.168.0.0 mask 255.255.000.000 10.10.10.4 metric 1");
}

}  // namespace
}  // namespace velmora
