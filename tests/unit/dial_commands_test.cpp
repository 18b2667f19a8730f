#include "core/connection/dial_commands.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

DialRequest dial(const std::string& user, const std::string& password) {
    return DialRequest{DialPhonebook::pptp, "203.0.113.10", user, password};
}

TEST(RasdialLine, namesTheEntryTheValuesAndThePhonebookByItsFullPathQuotedOnlyWithABlank) {
    EXPECT_EQ(rasdialLine(dial("zhangwei", "secret1"), "C:\\Velmora\\pptp.pbk"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:C:\\Velmora\\pptp.pbk ");
    EXPECT_EQ(rasdialLine(dial("zhangwei", "secret1"), "C:\\Program Files\\Velmora\\ipsec.pbk"),
              "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 "
              "/PHONEBOOK:\"C:\\Program Files\\Velmora\\ipsec.pbk\" ");
}

TEST(RasdialLine, valuesWithBlanksOrQuotesReachRasdialAsOneArgumentEach) {
    EXPECT_EQ(rasdialLine(dial("li na", "pa ss\"word"), "C:\\Velmora\\pptp.pbk"),
              "rasdial corvinaltexum \"li na\" \"pa ss\\\"word\" /PHONE:203.0.113.10 /PHONEBOOK:C:\\Velmora\\pptp.pbk ");
}

TEST(DialPassword, theHardwareCodesFirstTwelveCharactersInLowerCaseUntrimmedThenTheTrimmedPassword) {
    ConnProfile p = designTimeProfile();
    p.txtPasswd = " secret1 ";
    for (const auto& [code, password] : std::vector<std::pair<std::string, std::string>>{
             {"BFEBFBFF000306A9001A2B3C4D5E", "bfebfbff0003secret1"},
             {"AB1 ", "ab1 secret1"},
             {"", "secret1"}}) {
        p.txtHD = code;
        EXPECT_EQ(dialPassword(p), password) << code;
    }
}

TEST(DialPhonebook, l2tpDialsIpsecPbkAndPptpPptpPbk) {
    ConnProfile p = designTimeProfile();
    p.Option1 = kProtocolL2tp;
    EXPECT_EQ(phonebookFileName(dialPhonebook(p)), "ipsec.pbk");
    p.Option1 = kProtocolPptp;
    EXPECT_EQ(phonebookFileName(dialPhonebook(p)), "pptp.pbk");
    EXPECT_EQ(phonebookFileName(DialPhonebook::defaultGateway), "defaultgate.pbk");
}

TEST(RouteLine, addsAndDeletesTheNetworkWithTheMaskAsTyped) {
    EXPECT_EQ(routeLine({"10.0.0.0", "255.255.0.0", "10.10.10.4"}),
              "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1");
    EXPECT_EQ(routeLine({"192.168.0.0", "255.255.000.000", "10.10.10.4"}),
              "route add 192.168.0.0 mask 255.255.000.000 10.10.10.4 metric 1");
    EXPECT_EQ(routeDeleteLine({"192.168.0.0", "255.255.000.000", "10.10.10.4"}),
              "route delete 192.168.0.0 mask 255.255.000.000 10.10.10.4");
}

}  // namespace
}  // namespace velmora
