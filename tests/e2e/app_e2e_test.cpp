// velmora.exe itself under Wine in the private network namespace, with the stand-ins beside it:
// driven as a user would, checked by the journal of what the stand-ins were asked to do, the
// files written, Wine's registry and the window's controls. Each scenario runs in a Wine
// session of its own (see wine_tests.cmake): a program ended mid-way can leave Wine's tray
// busy for the programs after it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/settings/settings_lines.h"
#include "core/system/l2tp_switch.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_text_files.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/velmora_app.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::VelmoraApp;
using testing::WindowDriver;
using testing::eventually;

constexpr const wchar_t* kParametersKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
constexpr const char* kSettingsPath = "C:\\l2tpipsec.ini";
constexpr int kTicks = 20000;  // long enough for a few 5-second timer ticks under Wine

void setProhibitIpsec(bool present) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (present) {
        const DWORD one = 1;
        RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    } else {
        RegDeleteValueW(key, L"ProhibitIpsec");
    }
    RegCloseKey(key);
}

std::optional<DWORD> prohibitIpsec() {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG read = RegQueryValueExW(key, L"ProhibitIpsec", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD ? std::optional<DWORD>(value) : std::nullopt;
}

// A profile that dials: the stand-in rasdial connects and the tunnel gets 10.10.10.4.
ConnProfile dialProfile() {
    ConnProfile p = fallbackProfile();
    p.txtServerAddress = "203.0.113.10";
    p.txtUserName = "zhangwei";
    p.txtPasswd = "secret1";
    p.txtpeer = "10.0.0.0";
    p.txtpeermask = "255.255.0.0";
    p.txtlocal = "10.10.10.4";
    p.txtpreshare = "sharedkey1";
    p.comalg = "ESP-3DES-SHA";
    p.txtpeer2 = "0.0.0.0";
    return p;
}

void saveSettings(const ConnProfile& profile) {
    Win32AnsiCodec codec;
    Win32TextFiles files;
    ASSERT_TRUE(files.writeLines(kSettingsPath, composeSettings(profile, codec).lines));
}

int countStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

int countEndingWith(const std::vector<std::string>& lines, const std::string& end) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.size() >= end.size() && l.compare(l.size() - end.size(), end.size(), end) == 0;
    }));
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class AppScenario : public ::testing::Test {
protected:
    AppScenario() {
        setProhibitIpsec(true);
        for (const wchar_t* file : {L"C:\\l2tpipsec.ini", L"C:\\ipsec.pbk", L"C:\\pptp.pbk"}) {
            DeleteFileW(file);
        }
    }
    ~AppScenario() override {
        // Each scenario starts from the bare namespace again.
        Win32Processes processes;
        processes.runAndWait("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
    }

    // Starts the program and finds its window; answers the start-up messages given.
    WindowDriver start(const std::vector<std::string>& startUpMessages = {}) {
        EXPECT_TRUE(app.start());
        auto window = WindowDriver::find(app.processId(), 20000);
        if (!window) {
            ADD_FAILURE() << "the main window never appeared";
            return WindowDriver(nullptr);
        }
        for (const std::string& message : startUpMessages) {
            EXPECT_TRUE(window->answerMessageBox(message, 20000)) << message;
        }
        return *window;
    }

    // Starts the program and waits until its window shows, ready for clicks.
    WindowDriver startShown(const std::vector<std::string>& startUpMessages = {}) {
        WindowDriver window = start(startUpMessages);
        EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, 20000));
        return window;
    }

    std::vector<std::string> journal() const { return sim::readJournal(); }
    bool journalled(const std::string& line) const {
        return eventually([&] { return has(journal(), line); }, kTicks);
    }
    void setLink(bool up) const {
        sim::saveConnections(up ? std::vector<sim::SimConnection>{{41, "corvinaltexum"}}
                                : std::vector<sim::SimConnection>{});
    }

    VelmoraApp app;
};

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
