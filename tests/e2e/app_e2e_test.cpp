// velmora.exe itself under Wine in the private network namespace, with the stand-ins beside it:
// driven as a user would, checked by the journal of what the stand-ins were asked to do, the
// files written, Wine's registry and the window's controls. Each scenario runs in a Wine
// session of its own (see wine_tests.cmake): a program ended mid-way can leave Wine's tray
// busy for the programs after it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/system/l2tp_switch.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::countEndingWith;
using testing::countStartingWith;
using testing::dialProfile;
using testing::eventually;
using testing::has;
using testing::kTicks;
using testing::prohibitIpsec;
using testing::saveSettings;
using testing::setProhibitIpsec;

class AppScenario : public testing::AppSession {};

constexpr const char* kPptpDial =
    "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:C:\\pptp.pbk ";
constexpr const char* kRoute = "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1";

TEST_F(AppScenario, firstStartWithoutSettingsShowsTheFallbacksAndWritesThePhonebooks) {
    WindowDriver window = start({"配置文件不存在，恢复默认配置！"});
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }));
    EXPECT_EQ(window.text(Control::txtpeer), "0.0.0.0");
    EXPECT_EQ(window.text(Control::txtpeermask), "255.255.255.0");
    EXPECT_EQ(window.text(Control::txtlocal), "1.1.1.1");
    EXPECT_EQ(window.text(Control::comalg), "ESP-DES-MD5");
    EXPECT_EQ(window.text(Control::txtConnName), "corvinaltexum");
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_FALSE(window.visible(Control::Check1));
    EXPECT_FALSE(window.visible(Control::Frame1));
    EXPECT_EQ(testing::readBytes(L"C:\\ipsec.pbk"), testing::kIpsecPbk);
    EXPECT_EQ(testing::readBytes(L"C:\\pptp.pbk"), testing::kPptpPbk);
    EXPECT_FALSE(testing::fileExists(L"C:\\l2tpipsec.ini"));  // only a Connect saves
}

TEST_F(AppScenario, registrySwitchNotSetAsksForARestartAndEnds) {
    setProhibitIpsec(false);
    start({kRestartMessage});
    EXPECT_TRUE(app.waitForExit(20000));
    EXPECT_EQ(prohibitIpsec(), std::optional<DWORD>(1));
    EXPECT_FALSE(testing::fileExists(L"C:\\ipsec.pbk"));
    EXPECT_FALSE(testing::fileExists(L"C:\\pptp.pbk"));
}

TEST_F(AppScenario, secondInstanceIsRefusedAndTheFirstGoesOn) {
    saveSettings(dialProfile());
    WindowDriver first = start();
    ASSERT_TRUE(app.start());
    auto second = WindowDriver::find(app.processId(1), 20000);
    ASSERT_TRUE(second.has_value());
    EXPECT_TRUE(second->answerMessageBox("该程序已经运行！", 20000));
    EXPECT_TRUE(app.waitForExit(20000, 1));
    EXPECT_TRUE(app.running(0));
    EXPECT_TRUE(IsWindow(first.window()));
}

TEST_F(AppScenario, plainPptpConnectDialsRoutesAndGoesToTheTray) {
    saveSettings(dialProfile());
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(journalled(kPptpDial));
    EXPECT_TRUE(journalled(kRoute));
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    EXPECT_FALSE(window.enabled(Control::Command1));
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    // Connect saved the profile before dialling: sixteen CR LF lines, PPTP, nothing switched on.
    const std::string saved = testing::readBytes(L"C:\\l2tpipsec.ini");
    EXPECT_EQ(saved.rfind("corvinaltexum\r\n10.0.0.0\r\n255.255.0.0\r\n10.10.10.4\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\r\nESP-3DES-SHA\r\n203.0.113.10\r\nzhangwei\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nno\r\nno\r\nno\r\nno\r\nno\r\n0.0.0.0\r\n255.255.255.0\r\n"), std::string::npos)
        << saved;
}

TEST_F(AppScenario, plainConnectThatFailsSaysSoAndStaysIdle) {
    saveSettings(dialProfile());
    sim::saveRasdialScenario({false, 0, ""});
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号失败！请检查L2TP参数重新拨号！", kTicks));
    EXPECT_TRUE(has(journal(), kPptpDial));
    EXPECT_EQ(countStartingWith(journal(), "route "), 0);
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_TRUE(IsWindowVisible(window.window()));
}

TEST_F(AppScenario, ipsecSessionAppliesPolicyDialsWatchesTheLinkAndStops) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    p.Option1 = kProtocolL2tp;
    saveSettings(p);
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(journalled("ping -n 8 10.0.0.0"));
    auto lines = journal();
    EXPECT_EQ(countEndingWith(lines, " -x"), 2);
    EXPECT_EQ(countStartingWith(lines, "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 "
                                       "/PHONEBOOK:C:\\ipsec.pbk"),
              1);
    EXPECT_EQ(countStartingWith(lines, "route "), 0);  // with IPsec the link watch adds the routes
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));

    // The link watch adds the routes on every tick while the link is up.
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") >= 1; }, kTicks));
    Sleep(5000);  // a policy pair that the first tick started has finished
    const int withdrawn = countEndingWith(journal(), " -y");
    const int applied = countEndingWith(journal(), " -x");

    // The link drops: no routes while it is down.
    setLink(false);
    Sleep(6000);
    const int routesWhileDown = countStartingWith(journal(), "route ");
    Sleep(6000);
    EXPECT_EQ(countStartingWith(journal(), "route "), routesWhileDown);

    // It comes back: the policy is withdrawn and applied once more, routes on every up tick.
    setLink(true);
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") >= routesWhileDown + 2; }, kTicks));
    EXPECT_EQ(countEndingWith(journal(), " -y"), withdrawn + 2);
    EXPECT_EQ(countEndingWith(journal(), " -x"), applied + 2);

    // Stop from the tray menu: 还原, 连接, 停止, 退出.
    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);
    EXPECT_TRUE(eventually([&] { return countEndingWith(journal(), " -y") == withdrawn + 4; }, kTicks));
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    EXPECT_FALSE(has(journal(), "RasHangUpA 41"));  // Stop leaves an IPsec link up
}

TEST_F(AppScenario, settingsWithIpsecOnWhileConnectedWarnAndHangUpAtStartUp) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    saveSettings(p);
    setLink(true);
    WindowDriver window = start({"该操作将挂断当前连接！"});
    EXPECT_TRUE(journalled("RasHangUpA 41"));
    EXPECT_TRUE(sim::loadConnections().empty());
    EXPECT_TRUE(window.enabled(Control::Command1));
}

TEST_F(AppScenario, autoDialRedialsADroppedLink) {
    ConnProfile p = dialProfile();
    p.Check3 = kChecked;
    saveSettings(p);
    WindowDriver window = start();
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 1; }, kTicks));
    EXPECT_TRUE(eventually([&] { return !window.enabled(Control::Command1); }, kTicks));
    EXPECT_TRUE(window.messageBoxes().empty());  // auto-dial reports nothing
    setLink(false);
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 2; }, kTicks));
}

TEST_F(AppScenario, exitFromTheTrayWithdrawsThePolicyAndHangsUp) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    saveSettings(p);
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(journalled("ping -n 8 10.0.0.0"));
    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 3);  // 还原, 连接, 停止, 退出
    EXPECT_TRUE(app.waitForExit(kTicks));
    const auto lines = journal();
    ASSERT_GE(lines.size(), 3u);
    // Shut-down withdraws the policy, then hangs the link up.
    EXPECT_EQ(countEndingWith({lines.end() - 3, lines.end() - 1}, " -y"), 2);
    EXPECT_EQ(lines.back(), "RasHangUpA 1");
}

}  // namespace
}  // namespace velmora
