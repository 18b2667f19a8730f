// velmora.exe under Wine, the scenarios of a session the user can trust: the IPsec policy in force
// for every link (or the user told why not), withdrawn as applied, another local policy given
// back, tools never taken from the folder the program was started from, and a dial that keeps
// the window alive and can be stopped. Decided from the stand-ins' journal, the stand-in netsh's
// store and the remote-access state. Each scenario runs in a Wine session of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "platform/win32/text_codec.h"
#include "sim/sim_state.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::countStartingWith;
using testing::dialProfile;
using testing::ipsecProfile;
using testing::eventually;
using testing::kTicks;
using testing::saveSettings;
using testing::setLink;

constexpr const char* kOurs = "corvinaltexum";

bool assigned(const std::string& policy) {
    const sim::IpsecStore store = sim::loadIpsecStore();
    const sim::StoredPolicy* found = store.policy(policy);
    return found != nullptr && found->assigned;
}

// The source address of the outbound rule's filter: this computer's address as applied.
std::string appliedLocalAddress() {
    const sim::IpsecStore store = sim::loadIpsecStore();
    const sim::StoredFilterList* list = store.filterList("windows to zerta");
    return list != nullptr && !list->filters.empty() ? list->filters.front().srcaddr : std::string();
}

// The program's message box text, answered; empty when none came.
std::string answerNextMessage(const WindowDriver& window) {
    const auto box = window.waitForMessageBox(kTicks);
    if (!box) {
        return {};
    }
    EXPECT_TRUE(window.answerMessageBox(box->text, kTicks));
    return box->text;
}

class SessionScenario : public testing::AppSession {
protected:
    explicit SessionScenario(const testing::WindowsRelease& windows) : AppSession(windows) {}

    // A Connect whose rasdial takes twenty seconds; returns once rasdial runs.
    WindowDriver connectSlowly() {
        EXPECT_TRUE(saveSettings(ipsecProfile()));
        sim::saveRasdialScenario({true, 20, "10.10.10.4"});
        WindowDriver window = startShown();
        EXPECT_TRUE(window.clickLater(Control::Command1));
        EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 1; }, kTicks));
        return window;
    }

    // Nothing of the dial is left: its connection hung up, no tunnel address, our policy not
    // assigned, the withdrawal the last of the policy's steps, and no message.
    void expectNothingLeftOfTheDial(const WindowDriver& window) {
        EXPECT_TRUE(eventually([] { return sim::loadConnections().empty(); }, kTicks));
        EXPECT_EQ(countStartingWith(journal(), "RasHangUpA "), 1);
        const std::string unassign = "netsh ipsec static set policy name=corvinaltexum assign=no";
        EXPECT_TRUE(eventually(
            [&] {
                const auto lines = journal();
                return !assigned(kOurs) && std::count(lines.begin(), lines.end(), unassign) == 2;
            },
            kTicks));
        const auto lines = journal();
        const auto lastAssignment = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) {
            return line.find(" assign=") != std::string::npos;
        });
        ASSERT_NE(lastAssignment, lines.rend());
        EXPECT_EQ(*lastAssignment, unassign);
        EXPECT_EQ(countStartingWith(lines, "ping "), 0);
        if (IsWindow(window.window())) {
            EXPECT_TRUE(window.messageBoxes().empty());
        }
    }
};

class OnWindows10 : public SessionScenario {
protected:
    OnWindows10() : SessionScenario(testing::kWindows10) {}
};

class OnWindowsXp : public SessionScenario {
protected:
    OnWindowsXp() : SessionScenario(testing::kWindowsXp) {}
};

TEST_F(OnWindows10, aRedialThatBringsANewAddressIsProtectedForIt) {
    ConnProfile p = ipsecProfile();
    p.Check3 = kChecked;  // auto-dial: no dial report
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(journalled("ping -n 8 10.0.0.0"));
    ASSERT_EQ(appliedLocalAddress(), "10.10.10.4");

    // The link drops and the next dial gets another address.
    sim::saveRasdialScenario({true, 0, "10.10.10.9"});
    setLink(false);
    dropTunnelAddress();
    EXPECT_TRUE(eventually([&] { return appliedLocalAddress() == "10.10.10.9" && assigned(kOurs); }, 60000));
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "ping ") == 2; }, kTicks));
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.9");
    testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.9/32 dev lo 2>/dev/null\"");
}

TEST_F(OnWindows10, aFailingNetshStepStopsConnectBeforeTheDial) {
    sim::saveNetshFailure("add filteraction");
    ASSERT_TRUE(saveSettings(ipsecProfile()));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    const std::string message = answerNextMessage(window);
    EXPECT_EQ(message.rfind("IPSec策略没有设置成功，本次没有拨号。\n\n原因：", 0), 0u) << message;
    EXPECT_NE(message.find("退出码 1"), std::string::npos) << message;
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 0);
    EXPECT_FALSE(assigned(kOurs));
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(OnWindows10, aLocalPolicyAssignedBeforeIsAssignedAgainAfterStop) {
    sim::IpsecStore store;
    store.policies.push_back({"办公室策略", true});
    sim::saveIpsecStore(store);
    WindowDriver window = connectIpsec();
    EXPECT_TRUE(assigned(kOurs));
    EXPECT_FALSE(assigned("办公室策略"));

    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);  // 停止
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, 60000));
    EXPECT_TRUE(assigned("办公室策略"));
    EXPECT_FALSE(assigned(kOurs));
}

TEST_F(OnWindows10, toolsPlantedInTheFolderItStartsFromNeverRun) {
    testing::TempFolder downloads;
    for (const wchar_t* name : {L"rasdial.exe", L"netsh.exe", L"route.exe", L"ping.exe"}) {
        ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\planted.exe").c_str(), downloads.file(name).c_str(),
                              FALSE));
    }
    connectIpsec(ipsecProfile(), downloads.path());
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") >= 1; }, kTicks));
    const auto lines = journal();
    EXPECT_EQ(countStartingWith(lines, "planted: "), 0);
    EXPECT_EQ(countStartingWith(lines, "rasdial corvinaltexum "), 1);
    EXPECT_GE(countStartingWith(lines, "netsh ipsec static "), 18);
    EXPECT_TRUE(assigned(kOurs));
}

TEST_F(OnWindows10, theWindowAnswersDuringADialAndTheTraysStopEndsIt) {
    WindowDriver window = connectSlowly();
    // Windows takes a window that does not answer within five seconds for hung; this one
    // answers at once, every time, while rasdial runs.
    for (int probe = 0; probe < 16; ++probe) {
        DWORD_PTR result = 0;
        EXPECT_NE(SendMessageTimeoutW(window.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 100, &result), 0)
            << "probe " << probe;
        Sleep(250);
    }
    EXPECT_FALSE(window.enabled(Control::Command1));
    EXPECT_TRUE(window.enabled(Control::Command2));
    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);  // 停止
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    EXPECT_FALSE(window.enabled(Control::Command2));
    expectNothingLeftOfTheDial(window);
    Sleep(6000);  // a tick of each timer: the auto-dial holds, the watch finds nothing to do
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 1);
}

TEST_F(OnWindows10, closingDuringADialEndsItAndThenTheProgram) {
    WindowDriver window = connectSlowly();
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.waitForExit(kTicks));
    expectNothingLeftOfTheDial(window);
}

TEST_F(OnWindowsXp, stopAfterTheKeyWasEditedWithdrawsWhatWasApplied) {
    WindowDriver window = connectIpsec();
    window.trayMouse(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
    window.setText(Control::txtpreshare, "abc");
    ASSERT_TRUE(window.clickLater(Control::Command2));
    ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    std::vector<std::string> policy;
    for (const std::string& line : journal()) {
        if (line.rfind("ipseccmd ", 0) == 0) {
            policy.push_back(line);
        }
    }
    ASSERT_GE(policy.size(), 2u);
    for (auto line = policy.end() - 2; line != policy.end(); ++line) {
        EXPECT_NE(line->find(" -a preshare:sharedkey1 -t "), std::string::npos) << *line;
        EXPECT_EQ(line->substr(line->size() - 3), " -y") << *line;
    }
    EXPECT_TRUE(window.messageBoxes().empty());
}

TEST_F(OnWindowsXp, theTunnelsOwnIpsecAndPptpFailuresGetTheirAdvice) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    const std::vector<std::pair<std::uint32_t, std::vector<std::string>>> failures = {
        {788, {"错误 788：", "ProhibitIpsec", "重新启动", "预共享的密钥和加密认证算法与此无关"}},
        // The profile dials PPTP: its own port and protocol, not L2TP's.
        {809, {"错误 809：", "TCP 1723端口和GRE协议"}},
    };
    for (const auto& [code, parts] : failures) {
        sim::saveRasdialScenario({false, 0, "", code});
        ASSERT_TRUE(window.clickLater(Control::Command1));
        const std::string message = answerNextMessage(window);
        EXPECT_EQ(message.rfind("拨号失败！请检查L2TP参数重新拨号！\n\n", 0), 0u) << message;
        for (const std::string& part : parts) {
            EXPECT_NE(message.find(part), std::string::npos) << code << " lacks " << part << ":\n" << message;
        }
        EXPECT_EQ(message.find("NAT"), std::string::npos) << message;
        EXPECT_EQ(message.find("UDP 1701"), std::string::npos) << message;
        ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    }
}

}  // namespace
}  // namespace velmora
