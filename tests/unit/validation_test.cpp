#include "core/profile/validation.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/profile/conn_profile.h"
#include "tests/fakes/fake_control_surface.h"

namespace velmora {
namespace {

TEST(Checkip, acceptsDottedQuadsWithLeadingZeros) {
    EXPECT_TRUE(checkip("10.0.0.0"));
    EXPECT_TRUE(checkip("010.000.000.001"));
    EXPECT_TRUE(checkip("0.0.0.0"));
    EXPECT_TRUE(checkip("255.255.255.255"));
    EXPECT_TRUE(checkip("10.0.0.000000000000000000000000001"));
}

TEST(Checkip, refusesMissingOrEmptyParts) {
    EXPECT_FALSE(checkip(""));
    EXPECT_FALSE(checkip("10.0.0"));
    EXPECT_FALSE(checkip("10..0.0"));
    EXPECT_FALSE(checkip(".10.0.0.0"));
    EXPECT_FALSE(checkip("10.0.0."));
    EXPECT_FALSE(checkip("10.0.0.."));
    EXPECT_FALSE(checkip("..."));
}

TEST(Checkip, refusesValuesOutOfRange) {
    EXPECT_FALSE(checkip("10.0.0.256"));
    EXPECT_FALSE(checkip("256.0.0.0"));
    EXPECT_FALSE(checkip("10.0.0.-1"));
    EXPECT_FALSE(checkip("10.-1.0.0"));
}

TEST(Checkip, refusesLongPartsWithoutWrappingAround) {
    EXPECT_FALSE(checkip("10.0.0.99999"));
    EXPECT_FALSE(checkip("10.0.0.65536"));        // 0 in 16 bits
    EXPECT_FALSE(checkip("65792.0.0.0"));         // 256 + 65536
    EXPECT_FALSE(checkip("10.0.0.4294967296"));   // 0 in 32 bits
    EXPECT_FALSE(checkip("10.0.0.18446744073709551617"));
}

TEST(Checkip, fourthPartTakesTheRestAndRoundsHalfToEven) {
    EXPECT_TRUE(checkip("1.2.3.4.5"));     // 4.5 is worth 4
    EXPECT_TRUE(checkip("1.2.3.4."));      // a final dot
    EXPECT_TRUE(checkip("1.2.3.254.5"));   // 254
    EXPECT_TRUE(checkip("1.2.3.255.4999"));
    EXPECT_TRUE(checkip("1.2.3.254.50"));
    EXPECT_TRUE(checkip("1.2.3.254.5000001"));  // 255
    EXPECT_FALSE(checkip("1.2.3.255.5"));       // 256
    EXPECT_FALSE(checkip("1.2.3.255.50"));
    EXPECT_FALSE(checkip("1.2.3.255.5000001"));
    EXPECT_FALSE(checkip("1.2.3.4.5.6"));  // two decimal points
}

TEST(Checkip, allowsSpacesAroundAPartAndASign) {
    EXPECT_TRUE(checkip(" 10.0.0.0"));
    EXPECT_TRUE(checkip("10. 0 .0.0 "));
    EXPECT_TRUE(checkip("+10.0.0.0"));
    EXPECT_FALSE(checkip("1 0.0.0.0"));
    EXPECT_FALSE(checkip("10.0.0.- 1"));
    EXPECT_FALSE(checkip("10.0.0.+-1"));
}

TEST(Checkip, refusesOtherNumberNotations) {
    EXPECT_FALSE(checkip("10.0.0.a"));
    EXPECT_FALSE(checkip("10.0.0.1e2"));
    EXPECT_FALSE(checkip("10.0.0.0x1"));
    EXPECT_FALSE(checkip("10.0.0.&H1"));
    EXPECT_FALSE(checkip("10.0.0.1,0"));
    EXPECT_FALSE(checkip("10.0.0.$1"));
    EXPECT_FALSE(checkip("10.0.0.(1)"));
    EXPECT_FALSE(checkip("10.0.0.1-"));
    EXPECT_FALSE(checkip("10.0.0.\t1"));
    EXPECT_FALSE(checkip("10.0.0.１"));  // a full-width digit
}

TEST(Checkalg, acceptsExactlyTheSixSuites) {
    for (const char* suite : kCipherSuites) {
        EXPECT_TRUE(checkalg(suite)) << suite;
    }
    EXPECT_FALSE(checkalg(""));
    EXPECT_FALSE(checkalg("esp-des"));
    EXPECT_FALSE(checkalg("ESP-DES "));
    EXPECT_FALSE(checkalg(" ESP-DES"));
    EXPECT_FALSE(checkalg("ESP-DES-MD"));
    EXPECT_FALSE(checkalg("ESP-AES"));
}

TEST(Getipnetaddress, andsPartByPart) {
    EXPECT_EQ(getipnetaddress("10.1.2.3", "255.255.0.0"), "10.1.0.0");
    EXPECT_EQ(getipnetaddress("10.1.2.3", "255.255.255.255"), "10.1.2.3");
    EXPECT_EQ(getipnetaddress("192.168.77.200", "255.255.255.192"), "192.168.77.192");
}

TEST(Getipnetaddress, appliesANonContiguousMaskBitByBit) {
    EXPECT_EQ(getipnetaddress("10.1.2.3", "255.0.255.0"), "10.0.2.0");
    EXPECT_EQ(getipnetaddress("10.171.2.3", "0.85.255.1"), "0.1.2.1");  // 171 & 85 = 1
}

TEST(Getipnetaddress, writesPlainDecimals) {
    EXPECT_EQ(getipnetaddress("010.001.002.003", "255.255.255.0"), "10.1.2.0");
    EXPECT_EQ(getipnetaddress(" +10.1.2.3 ", "255.255.255.000"), "10.1.2.0");
    EXPECT_EQ(getipnetaddress("10.1.2.3.5", "255.255.255.255"), "10.1.2.4");
    EXPECT_EQ(getipnetaddress("10.1.2.2.5", "255.255.255.255"), "10.1.2.2");
    EXPECT_EQ(getipnetaddress("10.1.2.2.51", "255.255.255.255"), "10.1.2.3");
}

TEST(Getipnetaddress, isAllZerosWhenEitherTextIsRefused) {
    EXPECT_EQ(getipnetaddress("10.1.2.3", "255.255.0"), "0.0.0.0");
    EXPECT_EQ(getipnetaddress("10.1.2.3", "255.255.256.0"), "0.0.0.0");
    EXPECT_EQ(getipnetaddress("10.1.2.300", "255.255.0.0"), "0.0.0.0");
    EXPECT_EQ(getipnetaddress("", ""), "0.0.0.0");
}

// The design-time profile with the fields it leaves empty filled in: every check passes.
void fillValidProfile(testing::FakeControlSurface& window) {
    window.setText(Control::txtpreshare, "secret");
    window.setText(Control::txtUserName, "alice");
    window.setText(Control::txtPasswd, "pw");
}

class CheckdataTest : public ::testing::Test {
protected:
    CheckdataTest() { fillValidProfile(window); }

    bool passes() { return checkdata(window); }

    testing::FakeControlSurface window;
};

TEST_F(CheckdataTest, passesSilentlyWhenEveryCheckPasses) {
    EXPECT_TRUE(passes());
    EXPECT_TRUE(window.messages.empty());
}

// A field the window never shows is the administrator's to set: its message says whom to ask.
TEST_F(CheckdataTest, eachCheckShowsItsOwnMessage) {
    const struct {
        Control field;
        const char* value;
        const char* message;
    } cases[] = {
        {Control::txtConnName, "", "L2TP连接的名称为空！（此项由管理员设定，请与管理员联系）"},
        {Control::txtpeer, "10.0.0", "服务器内网地址不是合法IP地址!"},
        {Control::txtlocal, "10.10.10.256", "本地获得的地址不是合法IP地址（此项由管理员设定，请与管理员联系）"},
        {Control::txtpreshare, "12345", "预先共享的密钥不能小于6个字节（此项由管理员设定，请与管理员联系）"},
        {Control::txtServerAddress, "", "隧道主机名或IP地址不能为空！"},
        {Control::txtUserName, "", "用户名不能为空！"},
        {Control::txtPasswd, "", "用户密码不能为空！"},
    };
    for (const auto& c : cases) {
        testing::FakeControlSurface w;
        fillValidProfile(w);
        w.setText(c.field, c.value);
        EXPECT_FALSE(checkdata(w)) << c.message;
        EXPECT_EQ(w.messages, std::vector<std::string>{c.message});
    }
}

TEST_F(CheckdataTest, showsOnlyTheFirstFailure) {
    window.setText(Control::txtlocal, "x");
    window.setText(Control::txtPasswd, "");
    window.setText(Control::txtUserName, "");
    window.setText(Control::txtpreshare, "");
    EXPECT_FALSE(passes());
    EXPECT_EQ(window.messages, std::vector<std::string>{std::string("本地获得的地址不是合法IP地址") + kSetByAdministrator});

    window.messages.clear();
    window.setText(Control::txtConnName, "   ");
    window.setText(Control::txtpeer, "");
    EXPECT_FALSE(passes());
    EXPECT_EQ(window.messages, std::vector<std::string>{std::string("L2TP连接的名称为空！") + kSetByAdministrator});
}

TEST_F(CheckdataTest, trimsTheTextsItTests) {
    window.setText(Control::txtpeer, "  10.0.0.0  ");
    window.setText(Control::txtlocal, " 10.10.10.4 ");
    EXPECT_TRUE(passes());
    for (const Control blank : {Control::txtServerAddress, Control::txtUserName, Control::txtPasswd}) {
        testing::FakeControlSurface w;
        fillValidProfile(w);
        w.setText(blank, "   ");
        EXPECT_FALSE(checkdata(w));
        EXPECT_EQ(w.messages.size(), 1u);
    }
}

TEST_F(CheckdataTest, countsTheKeyAsTypedInCharactersButRefusesOneOfBlanksOnly) {
    window.setText(Control::txtpreshare, " abcd ");  // not trimmed for the count
    EXPECT_TRUE(passes());
    window.setText(Control::txtpreshare, "密码密码密码");
    EXPECT_TRUE(passes());
    window.setText(Control::txtpreshare, "密码密码密");  // fifteen bytes, five characters
    EXPECT_FALSE(passes());
    window.setText(Control::txtpreshare, "      ");  // six blanks: nothing once trimmed
    EXPECT_FALSE(passes());
    EXPECT_EQ(window.messages, (std::vector<std::string>{std::string("预先共享的密钥不能小于6个字节") + kSetByAdministrator,
                                                   std::string("预先共享的密钥不能全是空格！") + kSetByAdministrator}));
}

TEST_F(CheckdataTest, appliesWhateverTheOptions) {
    window.setValue(Control::Check1, kUnchecked);
    window.setValue(Control::Option1, kProtocolPptp);
    window.setText(Control::txtpeer, "300.0.0.0");
    EXPECT_FALSE(passes());
    EXPECT_EQ(window.messages, std::vector<std::string>{"服务器内网地址不是合法IP地址!"});
}

TEST_F(CheckdataTest, doesNotTestMasksSecondNetworkOrSuite) {
    window.setText(Control::txtpeermask, "bad");
    window.setText(Control::txtpeer2, "bad");
    window.setText(Control::txtpeermask2, "bad");
    window.setText(Control::comalg, "");
    window.setText(Control::txtServerAddress, "not an address");
    EXPECT_TRUE(passes());
}

TEST(CheckServerAddress, takesPlainDottedQuadsAndHostNames) {
    using Texts = std::vector<std::string>;
    const std::string label63(63, 'a');
    const std::string name253 = label63 + "." + label63 + "." + label63 + "." + std::string(61, 'd');
    for (const std::string& passes : Texts{"203.0.113.10", "0.0.0.0", "255.255.255.255", "vpn.example.com",
                                           "VPN-1.Example.com", "localhost", "1a.b2", label63 + ".com", name253}) {
        EXPECT_TRUE(checkServerAddress(passes)) << passes;
    }
    for (const std::string& fails :
         Texts{"", "300.1.2.3", "1.2.3.256", "1.2.3", "1.2.3.4.5", "010.1.2.3", "+1.2.3.4", " 1.2.3.4", "1.2.3.4.",
               "vpn..example,com", ".example.com", "example.com.", "vpn_1.example.com", "-vpn.example.com",
               "vpn-.example.com", "vpn example.com", "公司.example.com", "vpn.example.com:1701",
               "a" + label63 + ".com", name253 + "d"}) {
        EXPECT_FALSE(checkServerAddress(fails)) << fails;
    }
}

TEST(CheckDialFields, namesAFieldTheServiceCannotTakeAndFocusesIt) {
    const struct {
        Control field;
        std::string value;
        const char* message;  // none: passes
    } rows[] = {
        {Control::txtServerAddress, "  vpn.example.com ", nullptr},
        {Control::txtServerAddress, "300.1.2.3", "隧道主机名或IP地址不是合法的IP地址或主机名！"},
        {Control::txtServerAddress, " 0.0.0.0 ", "请填写隧道主机名或IP地址：0.0.0.0 不是可以拨号的服务器！"},  // a fresh file's
        {Control::txtUserName, " " + std::string(256, 'u') + " ", nullptr},
        {Control::txtUserName, std::string(257, 'u'), "用户名不能超过256个字符！"},
        {Control::txtPasswd, std::string(255, 'p') + "密", nullptr},  // 256 characters, more bytes
        {Control::txtPasswd, std::string(256, 'p') + "密", "用户密码不能超过256个字符！"},
    };
    for (const auto& row : rows) {
        testing::FakeControlSurface w;
        fillValidProfile(w);
        w.setText(row.field, row.value);
        EXPECT_EQ(checkDialFields(w), row.message == nullptr) << row.value;
        EXPECT_EQ(w.messages, row.message ? std::vector<std::string>{row.message} : std::vector<std::string>{});
        EXPECT_EQ(w.focus, row.message ? std::optional<Control>(row.field) : std::nullopt);
    }
}

}  // namespace
}  // namespace velmora
