#include "core/profile/conn_profile.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_control_surface.h"

namespace velmora {
namespace {

TEST(ConnProfile, designTimeValues) {
    const ConnProfile p = designTimeProfile();
    EXPECT_EQ(p.txtConnName, "corvinaltexum");
    EXPECT_EQ(p.txtpeer, "10.0.0.0");
    EXPECT_EQ(p.txtpeermask, "255.255.0.0");
    EXPECT_EQ(p.txtlocal, "10.10.10.4");
    EXPECT_EQ(p.txtpreshare, "");
    EXPECT_EQ(p.comalg, "");  // nothing selected
    EXPECT_EQ(p.txtServerAddress, "203.0.113.10");
    EXPECT_EQ(p.txtUserName, "");
    EXPECT_EQ(p.txtPasswd, "");
    EXPECT_EQ(p.Check1, kUnchecked);
    EXPECT_EQ(p.Check2, kUnchecked);
    EXPECT_EQ(p.Check3, kUnchecked);
    EXPECT_EQ(p.Option1, kProtocolPptp);
    EXPECT_EQ(p.checkHD, kUnchecked);
    EXPECT_EQ(p.txtpeer2, "200.200.0.0");
    EXPECT_EQ(p.txtpeermask2, "255.255.0.0");
    EXPECT_EQ(p.txtHD, "");
    EXPECT_EQ(p.Check4, kUnchecked);
}

TEST(ConnProfile, fallbackValuesWhenNoSettingIsUsable) {
    const ConnProfile p = fallbackProfile();
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
}

TEST(ConnProfile, unstoredFieldsKeepTheirDesignTimeValuesOnFallback) {
    const ConnProfile design = designTimeProfile();
    const ConnProfile fallback = fallbackProfile();
    EXPECT_EQ(fallback.txtHD, design.txtHD);
    EXPECT_EQ(fallback.Check4, design.Check4);
}

TEST(ConnProfile, cipherSuitesInListOrder) {
    const std::vector<std::string> suites(kCipherSuites.begin(), kCipherSuites.end());
    EXPECT_EQ(suites, (std::vector<std::string>{"ESP-DES", "ESP-3DES", "ESP-DES-MD5", "ESP-3DES-MD5",
                                                "ESP-DES-SHA", "ESP-3DES-SHA"}));
}

TEST(ReadProfile, takesEachFieldFromItsOwnControl) {
    testing::FakeControlSurface window;
    const Control texts[] = {Control::txtConnName, Control::txtpeer,          Control::txtpeermask,
                             Control::txtlocal,    Control::txtpreshare,      Control::txtServerAddress,
                             Control::txtUserName, Control::txtPasswd,        Control::txtpeer2,
                             Control::txtpeermask2, Control::txtHD};
    for (Control c : texts) {
        window.setText(c, "field " + std::to_string(static_cast<int>(c)));
    }
    window.setText(Control::comalg, "ESP-3DES-SHA");
    window.setValue(Control::Check1, 1);
    window.setValue(Control::Check2, 2);
    window.setValue(Control::Check3, 1);
    window.setValue(Control::Option1, kProtocolL2tp);
    window.setValue(Control::checkHD, 1);
    window.setValue(Control::Check4, 1);

    const ConnProfile p = readProfile(window);
    EXPECT_EQ(p.txtConnName, "field 0");
    EXPECT_EQ(p.txtpeer, "field 1");
    EXPECT_EQ(p.txtpeermask, "field 2");
    EXPECT_EQ(p.txtlocal, "field 3");
    EXPECT_EQ(p.txtpreshare, "field 4");
    EXPECT_EQ(p.comalg, "ESP-3DES-SHA");
    EXPECT_EQ(p.txtServerAddress, "field 6");
    EXPECT_EQ(p.txtUserName, "field 7");
    EXPECT_EQ(p.txtPasswd, "field 8");
    EXPECT_EQ(p.Check1, 1);
    EXPECT_EQ(p.Check2, 2);
    EXPECT_EQ(p.Check3, 1);
    EXPECT_EQ(p.Option1, kProtocolL2tp);
    EXPECT_EQ(p.checkHD, 1);
    EXPECT_EQ(p.txtpeer2, "field 14");
    EXPECT_EQ(p.txtpeermask2, "field 15");
    EXPECT_EQ(p.txtHD, "field 16");
    EXPECT_EQ(p.Check4, 1);
}

TEST(ReadProfile, keepsBlanksAsTyped) {
    testing::FakeControlSurface window;
    window.setText(Control::txtPasswd, "  pass word ");
    EXPECT_EQ(readProfile(window).txtPasswd, "  pass word ");
}

}  // namespace
}  // namespace velmora
