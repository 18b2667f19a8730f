// velmora.exe under Wine reporting each Windows it runs on, from 2000 to 10: the first start, a
// plain connect and an IPsec session (apply, dial, the link dropping and coming back, Stop, a
// second Connect, exit). Up to Server 2003 the policy goes to the old tool's command lines; from
// Vista on velmora-ipsec.exe stores it through netsh, whose stand-in keeps the store the test
// reads after each step. Each Windows runs in a Wine session of its own (see wine_tests.cmake).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "core/ipsec/policy_commands.h"
#include "core/profile/conn_profile.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;
using testing::WindowDriver;
using testing::countStartingWith;
using testing::dialProfile;
using testing::ipsecProfile;
using testing::eventually;
using testing::has;
using testing::kTicks;
using testing::netshStepsFor;
using testing::setLink;

struct Release {
    const char* name;
    testing::WindowsRelease windows;
    const char* tool;                 // the program whose lines the journal holds
    const wchar_t* libraryBefore;     // the policy library's name in the program folder at the first start
    const wchar_t* libraryAfter;      // and afterwards
};

void PrintTo(const Release& release, std::ostream* out) {
    *out << release.name;
}

constexpr const wchar_t* kActive = L"winipsec.dll";
constexpr const wchar_t* kParked = L"zertaipsec.dll";

const Release kReleases[] = {
    {"windows2000", testing::kWindows2000, "ipsecpol", kActive, kActive},
    {"windowsXp", testing::kWindowsXp, "ipseccmd", kActive, kParked},
    {"windowsXpBeforeServicePack2", testing::kWindowsXpSp1, "ipseccmd", kParked, kActive},
    {"windowsServer2003", testing::kWindows2003, "ipseccmd", kActive, kActive},
    {"windowsVista", testing::kWindowsVista, "netsh", kActive, kActive},
    {"windows7", testing::kWindows7, "netsh", kActive, kActive},
    {"windows10", testing::kWindows10, "netsh", kActive, kActive},
};

constexpr const char* kRoute = "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1";
constexpr const char* kAssigned = "netsh ipsec static set policy name=corvinaltexum assign=yes";
constexpr const char* kUnassigned = "netsh ipsec static set policy name=corvinaltexum assign=no";

class WindowsVersions : public testing::AppSession, public ::testing::WithParamInterface<Release> {
protected:
    WindowsVersions() : AppSession(GetParam().windows) {}

    bool throughNetsh() const { return std::string(GetParam().tool) == "netsh"; }

    // Runs of the policy tool that applied and that withdrew a rule. netsh's: velmora-ipsec's
    // last step, so that a run counts once it has finished.
    int applied() const {
        return throughNetsh() ? count(kAssigned) : countEnding(std::string(GetParam().tool) + " ", " -x");
    }
    int withdrawn() const {
        return throughNetsh() ? count(kUnassigned) : countEnding(std::string(GetParam().tool) + " ", " -y");
    }
    // Once exactly these many have run; else a failure that says how many did.
    ::testing::AssertionResult runsReach(int applies, int withdrawals) const {
        if (eventually([&] { return applied() == applies && withdrawn() == withdrawals; }, kTicks)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << applied() << " applied, " << withdrawn() << " withdrawn";
    }

    // The store holds the policy: assigned, with its two rules and nothing twice; or withdrawn,
    // unassigned with no rule, filter list or filter action left, and so no key.
    void expectStore(bool assigned, const char* when) const {
        if (!throughNetsh()) {
            EXPECT_EQ(sim::loadIpsecStore().policies.size(), 0u) << when;
            return;
        }
        const sim::IpsecStore store = sim::loadIpsecStore();
        ASSERT_EQ(store.policies.size(), 1u) << when;
        EXPECT_EQ(store.policies[0].name, "corvinaltexum") << when;
        EXPECT_EQ(store.policies[0].assigned, assigned) << when;
        if (!assigned) {
            EXPECT_TRUE(store.rules.empty()) << when;
            EXPECT_TRUE(store.filterLists.empty()) << when;
            EXPECT_TRUE(store.filterActions.empty()) << when;
            return;
        }
        ASSERT_EQ(store.rules.size(), 2u) << when;
        EXPECT_EQ(store.filterLists.size(), 2u) << when;
        EXPECT_EQ(store.filterActions.size(), 2u) << when;
        for (const auto& [rule, tunnel] : {std::pair{"windows to zerta", "10.0.0.0"},
                                           std::pair{"zerta to windows", "10.10.10.4"}}) {
            const sim::StoredRule* stored = store.rule("corvinaltexum", rule);
            ASSERT_NE(stored, nullptr) << when << ": " << rule;
            EXPECT_EQ(stored->tunnel, tunnel) << when;
            EXPECT_EQ(stored->psk, "sharedkey1") << when;
            ASSERT_NE(store.filterList(rule), nullptr) << when;
            EXPECT_EQ(store.filterList(rule)->filters.size(), 1u) << when;
            ASSERT_NE(store.filterAction(rule), nullptr) << when;
            EXPECT_EQ(store.filterAction(rule)->qmsecmethods, "ESP[3DES,SHA1]:100000k/3600s") << when;
        }
    }

    // True once the ping that ends a Connect and a re-apply has been started this many times: the
    // flow that started it is over, and the tray menu can be used without crossing it.
    bool pingsReach(int pings) const {
        return eventually([&] { return countStartingWith(journal(), "ping -n 8 10.0.0.0") == pings; }, kTicks);
    }

    void exitFromTheTray(const WindowDriver& window, std::size_t instance) {
        HWND menu = window.openTrayMenu();
        ASSERT_NE(menu, nullptr);
        window.chooseLastMenuRow(menu);
        EXPECT_TRUE(app.waitForExit(kTicks, instance));
    }

private:
    int count(const std::string& line) const {
        const Lines lines = journal();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    int countEnding(const std::string& start, const std::string& end) const {
        int found = 0;
        for (const std::string& line : journal()) {
            found += line.rfind(start, 0) == 0 && line.size() >= end.size() &&
                     line.compare(line.size() - end.size(), end.size(), end) == 0;
        }
        return found;
    }
};

TEST_P(WindowsVersions, firstStartPlainConnectAndIpsecSession) {
    const Release& release = GetParam();
    const std::wstring folder = app.programFolder();
    {
        const HANDLE library = CreateFileW((folder + L"\\" + release.libraryBefore).c_str(), GENERIC_WRITE, 0,
                                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(library, INVALID_HANDLE_VALUE);
        CloseHandle(library);
    }

    // The first start: the fallback settings, the policy library named for the service pack.
    {
        WindowDriver window = start({"配置文件不存在，恢复默认配置！"});
        EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
        EXPECT_EQ(window.text(Control::txtpeer), "0.0.0.0");
        EXPECT_TRUE(testing::fileExists(folder + L"\\" + release.libraryAfter));
        EXPECT_EQ(testing::fileExists(folder + L"\\" + kActive) + testing::fileExists(folder + L"\\" + kParked), 1);
        exitFromTheTray(window, 0);
    }

    // A plain PPTP connect: dial, routes, to the tray; exit hangs up.
    {
        ASSERT_TRUE(testing::saveSettings(dialProfile()));
        WindowDriver window = startShown();
        ASSERT_TRUE(window.clickLater(Control::Command1));
        EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
        EXPECT_TRUE(journalled(pptpDial()));
        EXPECT_TRUE(journalled(kRoute));
        EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));  // in the tray
        exitFromTheTray(window, 1);
        EXPECT_TRUE(journalled("RasHangUpA 1"));
        EXPECT_EQ(applied() + withdrawn(), 0);
        dropTunnelAddress();
    }

    // The IPsec session.
    ASSERT_TRUE(testing::saveSettings(ipsecProfile()));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(pingsReach(1));
    // The first tick finds the link covered by what Connect applied: no pair and no ping of its own.
    Sleep(6000);
    EXPECT_TRUE(runsReach(2, 0));
    EXPECT_TRUE(pingsReach(1));
    expectStore(true, "after apply");

    // The link drops: no routes while it is down.
    setLink(false);
    Sleep(6000);
    const int routesWhileDown = countStartingWith(journal(), "route ");
    Sleep(6000);
    EXPECT_EQ(countStartingWith(journal(), "route "), routesWhileDown);
    expectStore(true, "while the link is down");

    // It comes back: the policy is withdrawn and applied again, the routes added again.
    setLink(true);
    EXPECT_TRUE(runsReach(4, 2));
    EXPECT_TRUE(pingsReach(2));
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") > routesWhileDown; }, kTicks));
    expectStore(true, "after the link came back");

    // Stop from the tray withdraws the policy and leaves the link up.
    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);
    EXPECT_TRUE(runsReach(4, 4));
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    expectStore(false, "after Stop");

    // Connect again from the tray, the link still up: the rules are replaced, not added.
    menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 1);
    EXPECT_TRUE(runsReach(6, 4));
    EXPECT_TRUE(pingsReach(3));
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command3); }, kTicks));  // Connect's last step
    expectStore(true, "after the second Connect");

    // Exit withdraws the policy and hangs up; the policy ends unassigned.
    exitFromTheTray(window, 2);
    EXPECT_TRUE(runsReach(6, 6));
    expectStore(false, "after exit");
    EXPECT_TRUE(has(journal(), "RasHangUpA 41"));

    // Only the tool for this Windows was asked, with the lines of the worked example.
    const Lines lines = journal();
    for (const char* tool : {"ipsecpol ", "ipseccmd ", "netsh "}) {
        EXPECT_EQ(countStartingWith(lines, tool) > 0, std::string(release.tool) + " " == tool) << tool;
    }
    const PolicyLines apply = policyLines(ipsecProfile(), throughNetsh() ? "velmora-ipsec" : release.tool, " -x");
    if (throughNetsh()) {
        // The Connect's two runs, one whole rule after the other.
        Lines netsh;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(netsh),
                     [](const std::string& line) { return line.rfind("netsh ", 0) == 0; });
        Lines expected = netshStepsFor(apply.outbound);
        const Lines inbound = netshStepsFor(apply.inbound);
        expected.insert(expected.end(), inbound.begin(), inbound.end());
        ASSERT_GE(netsh.size(), expected.size());
        EXPECT_EQ(Lines(netsh.begin(), netsh.begin() + expected.size()), expected);
    } else {
        EXPECT_TRUE(has(lines, apply.outbound)) << apply.outbound;
        EXPECT_TRUE(has(lines, apply.inbound)) << apply.inbound;
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, WindowsVersions, ::testing::ValuesIn(kReleases),
                         [](const ::testing::TestParamInfo<Release>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora
