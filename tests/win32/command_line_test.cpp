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
    const DialRequest dial{DialPhonebook::pptp, "vpn.example.com", "li na", "p\\\"a ss\\"};
    EXPECT_EQ(split(rasdialLine(dial, "C:\\Velmora\\pptp.pbk")),
              (Arguments{"rasdial", "corvinaltexum", "li na", "p\\\"a ss\\", "/PHONE:vpn.example.com",
                         "/PHONEBOOK:C:\\Velmora\\pptp.pbk"}));
}

TEST(ComposedLines, anOrdinaryRasdialLineSplitsAtItsBlanksAndThePhonebookStaysWhole) {
    const DialRequest dial{DialPhonebook::defaultGateway, "203.0.113.10", "zhangwei", "s3cr\\t"};
    EXPECT_EQ(split(rasdialLine(dial, "C:\\Program Files\\Velmora\\defaultgate.pbk")),
              (Arguments{"rasdial", "corvinaltexum", "zhangwei", "s3cr\\t", "/PHONE:203.0.113.10",
                         "/PHONEBOOK:C:\\Program Files\\Velmora\\defaultgate.pbk"}));
}

TEST(ComposedLines, anEmptyUserNameOrPasswordKeepsTheArgumentsAfterItInPlace) {
    EXPECT_EQ(split(rasdialLine({DialPhonebook::pptp, "203.0.113.10", "", "secret"}, "C:\\V\\pptp.pbk")),
              (Arguments{"rasdial", "corvinaltexum", "", "secret", "/PHONE:203.0.113.10", "/PHONEBOOK:C:\\V\\pptp.pbk"}));
    EXPECT_EQ(split(rasdialLine({DialPhonebook::pptp, "203.0.113.10", "zhangwei", ""}, "C:\\V\\pptp.pbk")),
              (Arguments{"rasdial", "corvinaltexum", "zhangwei", "", "/PHONE:203.0.113.10",
                         "/PHONEBOOK:C:\\V\\pptp.pbk"}));
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
