// The composed command lines as the started tool sees them: split by CommandLineToArgvW, the
// rules Windows programs use, every value the user typed comes back as one argument, unchanged.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/connection/dial_commands.h"
#include "core/ipsec/policy_commands.h"
#include "platform/win32/text_codec.h"

namespace velmora {
namespace {

using Arguments = std::vector<std::string>;

Arguments split(const std::string& line) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(widen(line).c_str(), &count);
    Arguments result;
    for (int i = 0; i < count; ++i) {
        result.push_back(narrow(arguments[i]));
    }
    LocalFree(arguments);
    return result;
}

TEST(ComposedLines, rasdialGetsNameAndPasswordWholeWhateverTheyHold) {
    ConnProfile p = designTimeProfile();
    p.txtUserName = "li na";
    p.txtPasswd = "p\\\"a ss\\";
    p.txtServerAddress = "vpn.example.com";
    EXPECT_EQ(split(rasdialLine(p, "C:\\")), (Arguments{"rasdial", "corvinaltexum", "li na", "p\\\"a ss\\",
                                                         "/PHONE:vpn.example.com", "/PHONEBOOK:C:\\pptp.pbk"}));
}

TEST(ComposedLines, anOrdinaryRasdialLineSplitsAtItsBlanks) {
    ConnProfile p = designTimeProfile();
    p.txtUserName = "zhangwei";
    p.txtPasswd = "s3cr\\t";
    EXPECT_EQ(split(defaultGateRasdialLine(p, "C:\\Program Files\\Velmora")),
              (Arguments{"rasdial", "corvinaltexum", "zhangwei", "s3cr\\t", "/PHONE:203.0.113.10",
                         "/PHONEBOOK:C:\\Program Files\\Velmora\\defaultgate.pbk"}));
}

TEST(ComposedLines, anEmptyUserNameKeepsThePasswordInItsPlace) {
    ConnProfile p = designTimeProfile();
    p.txtUserName = "  ";
    p.txtPasswd = "secret";
    EXPECT_EQ(split(rasdialLine(p, "C:\\")), (Arguments{"rasdial", "corvinaltexum", "", "secret",
                                                         "/PHONE:203.0.113.10", "/PHONEBOOK:C:\\pptp.pbk"}));
    p.txtPasswd = "";
    p.txtUserName = "zhangwei";
    EXPECT_EQ(split(defaultGateRasdialLine(p, "D:\\VPN")), (Arguments{"rasdial", "corvinaltexum", "zhangwei", "",
                                                                   "/PHONE:203.0.113.10",
                                                                   "/PHONEBOOK:D:\\VPN\\defaultgate.pbk"}));
}

TEST(ComposedLines, thePolicyToolGetsTheKeyWhole) {
    ConnProfile p = designTimeProfile();
    p.comalg = "ESP-3DES-SHA";
    p.txtpreshare = "a \"quoted\" key\\";
    const Arguments expected = {"ipseccmd", "-w", "REG", "-p", "corvinaltexum", "-r", "windows to zerta", "-f",
                                "10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0", "-n",
                                "ESP[3DES,SHA]3600s/100000k", "-a", "preshare:a \"quoted\" key\\", "-t", "10.0.0.0",
                                "-x"};
    EXPECT_EQ(split(policyLines(p, "ipseccmd", kPolicyOn).outbound), expected);
}

}  // namespace
}  // namespace velmora
