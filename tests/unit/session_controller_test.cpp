#include "core/connection/session_controller.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

using testing::FakeControlSurface;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        policy.setIpsecTool("ipseccmd");
        window.setText(Control::txtServerAddress, "203.0.113.10");
        window.setText(Control::txtUserName, "alice");
        window.setText(Control::txtPasswd, "secret");
        window.setText(Control::txtpreshare, "sharedkey");
        window.setText(Control::comalg, "ESP-3DES-SHA");
        window.setText(Control::txtpeer2, "0.0.0.0");
        window.setEnabled(Control::Command2, false);
        window.setEnabled(Control::menuOff, false);
        window.setEnabled(Control::Command3, false);
        window.setVisible(Control::menuL2tp, false);
        table.add("192.0.2.7");
        // The stand-in for rasdial: the dial brings the entry up with a new address.
        processes.onRun = [this](const std::string& line) {
            if (dialSucceeds && startsWith(line, "rasdial ")) {
                bringUp();
            }
        };
    }

    void bringUp() {
        ras.connect(77, "corvinaltexum");
        table.add("10.10.10.9");
    }
    void dropLink() { ras.list.connections.clear(); }

    void useIpsec() { window.setValue(Control::Check1, 1); }

    // Runs the event inside the pause-th wait from now (0: the next one).
    void atPause(int pause, const std::function<void()>& event) {
        if (pause == 0) {
            loop.duringNextDelay(event);
        } else {
            loop.duringNextDelay([this, pause, event] { atPause(pause - 1, event); });
        }
    }

    std::vector<std::string> linesEndingWith(const std::string& end) const {
        std::vector<std::string> found;
        for (const auto& line : processes.started) {
            if (endsWith(line, end)) {
                found.push_back(line);
            }
        }
        return found;
    }
    // The policy lines' endings (" -x", " -y") in the order they were started.
    std::vector<std::string> policyStates() const {
        std::vector<std::string> states;
        for (const auto& line : processes.started) {
            if (startsWith(line, "ipseccmd ")) {
                states.push_back(line.substr(line.size() - 3));
            }
        }
        return states;
    }
    std::vector<std::string> startedStartingWith(const std::string& start) const {
        std::vector<std::string> found;
        for (const auto& line : processes.started) {
            if (startsWith(line, start)) {
                found.push_back(line);
            }
        }
        return found;
    }
    bool saved() const { return files.files.count("C:\\l2tpipsec.ini") != 0; }
    bool active() const { return !window.enabled(Control::Command1); }

    FakeControlSurface window;
    WatchedSurface watched{window};
    testing::FakeRemoteAccess ras;
    LinkQuery link{ras};
    testing::FakeProcesses processes;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\alice\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeAnsiCodec codec;
    testing::FakeIpHelper table;
    testing::FakeEventLoop loop;
    testing::MemoryLog log;
    SettingsFile settings{watched, shell, files, codec, log.log};
    Dialer dialer{watched, processes, table, link, ras, shell};
    IpsecPolicy policy{watched, processes, loop};
    SessionController session{watched, link, ras, processes, dialer, policy, settings};
    bool dialSucceeds = true;
};

TEST_F(SessionTest, ipsecConnectWithTheLinkAlreadyUpAppliesPolicyPingsAndMinimisesWithoutDialling) {
    useIpsec();
    bringUp();
    session.Command1_Click();
    EXPECT_EQ(linesEndingWith(" -x").size(), 2u);
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_EQ(startedStartingWith("ping "), std::vector<std::string>{"ping -n 8 10.0.0.0"});
    EXPECT_EQ(window.windowState(), WindowState::minimised);
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_TRUE(window.enabled(Control::Command3));
    EXPECT_TRUE(window.enabled(Control::menuL2tp));
    EXPECT_TRUE(saved());
}

TEST_F(SessionTest, ipsecConnectDialsWhenDownAndStaysActiveEvenIfTheDialFails) {
    useIpsec();
    dialSucceeds = false;
    window.setValue(Control::Check3, 1);  // auto-dial on: no dial report
    session.Command1_Click();
    ASSERT_EQ(processes.waited.size(), 1u);
    EXPECT_TRUE(startsWith(processes.waited[0], "rasdial corvinaltexum alice "));
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SessionTest, ipsecConnectRefusedByValidationChangesNothing) {
    useIpsec();
    window.setText(Control::txtpreshare, "short");
    session.Command1_Click();
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(active());
    EXPECT_TRUE(processes.started.empty());
    EXPECT_FALSE(saved());
}

TEST_F(SessionTest, plainConnectWhileUpOnlySaves) {
    bringUp();
    session.Command1_Click();
    EXPECT_TRUE(saved());
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_FALSE(active());
    EXPECT_EQ(window.windowState(), WindowState::normal);
}

TEST_F(SessionTest, plainConnectWithABlankOnlyEssentialIsRefusedUnsaved) {
    for (Control essential : {Control::txtServerAddress, Control::txtUserName, Control::txtPasswd}) {
        window.setText(essential, "   ");
        session.Command1_Click();
        window.setText(essential, "x");
    }
    EXPECT_EQ(window.messages, std::vector<std::string>(3, "L2TP参数错误！"));
    EXPECT_FALSE(saved());
    EXPECT_TRUE(processes.waited.empty());
}

TEST_F(SessionTest, plainConnectThatBringsTheLinkUpGoesActiveAndMinimises) {
    session.Command1_Click();
    EXPECT_TRUE(saved());
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_TRUE(window.enabled(Control::menuOff));
    EXPECT_FALSE(window.enabled(Control::menuOn));
    EXPECT_EQ(window.windowState(), WindowState::minimised);
}

TEST_F(SessionTest, failedPlainDialLeavesTheButtons) {
    dialSucceeds = false;
    session.Command1_Click();
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_EQ(window.windowState(), WindowState::normal);
    EXPECT_EQ(window.messages, std::vector<std::string>{"拨号失败！请检查L2TP参数重新拨号！"});
}

TEST_F(SessionTest, plainConnectWithTheDefaultGatewayUsesItsPhonebook) {
    window.setValue(Control::Check2, 1);
    session.Command1_Click();
    ASSERT_EQ(processes.waited.size(), 1u);
    EXPECT_TRUE(endsWith(processes.waited[0], "/PHONEBOOK:defaultgate.pbk "));
}

TEST_F(SessionTest, ipsecStopWithdrawsThePolicyAndLeavesTheLink) {
    useIpsec();
    session.Command1_Click();
    processes.started.clear();
    session.Command2_Click();
    EXPECT_EQ(linesEndingWith(" -y").size(), 2u);
    EXPECT_TRUE(ras.hangUps.empty());
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(SessionTest, plainStopHangsUpTheFoundConnection) {
    session.Command1_Click();
    session.Command2_Click();
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{77});
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::menuOff));
}

TEST_F(SessionTest, plainStopWithTheLinkDownDoesNothing) {
    session.Command1_Click();
    dropLink();
    session.Command2_Click();
    EXPECT_TRUE(ras.hangUps.empty());
    EXPECT_TRUE(active());
}

TEST_F(SessionTest, l2tpDialDialsOnlyWhenDown) {
    bringUp();
    session.Command3_Click();
    EXPECT_TRUE(processes.waited.empty());
    dropLink();
    session.Command3_Click();
    EXPECT_EQ(processes.waited.size(), 1u);
}

TEST_F(SessionTest, linkWatchEndsAPlainSessionWhenTheLinkDrops) {
    session.Command1_Click();
    session.Timer1_Timer();
    EXPECT_TRUE(active());
    dropLink();
    session.Timer1_Timer();
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(SessionTest, downUpUpReappliesThePolicyOnceAndAddsRoutesOnEveryUpTick) {
    useIpsec();
    session.Command1_Click();  // dials: the routes are stored
    ASSERT_FALSE(dialer.routeCmd1().empty());
    processes.started.clear();

    dropLink();
    session.Timer1_Timer();
    EXPECT_TRUE(window.visible(Control::menuL2tp));
    EXPECT_TRUE(processes.started.empty());

    bringUp();
    session.Timer1_Timer();
    EXPECT_FALSE(window.visible(Control::menuL2tp));
    EXPECT_EQ(startedStartingWith("route add ").size(), 1u);
    EXPECT_EQ(linesEndingWith(" -y").size(), 2u);
    EXPECT_EQ(linesEndingWith(" -x").size(), 2u);
    EXPECT_EQ(startedStartingWith("ping ").size(), 1u);

    session.Timer1_Timer();
    EXPECT_EQ(startedStartingWith("route add ").size(), 2u);
    EXPECT_EQ(linesEndingWith(" -y").size(), 2u);
    EXPECT_EQ(linesEndingWith(" -x").size(), 2u);
    EXPECT_EQ(startedStartingWith("ping ").size(), 1u);
}

TEST_F(SessionTest, afterIpsecStopTheWatchOnlyHidesTheDialItem) {
    useIpsec();
    session.Command1_Click();
    session.Command2_Click();
    processes.started.clear();
    dropLink();
    session.Timer1_Timer();
    EXPECT_FALSE(window.visible(Control::menuL2tp));
    bringUp();
    session.Timer1_Timer();
    EXPECT_TRUE(processes.started.empty());
    EXPECT_TRUE(session.linkWasUp);
}

TEST_F(SessionTest, aReapplyInsideTheConnectPauseTakesOverAndLeavesThePolicyApplied) {
    useIpsec();
    bringUp();
    session.linkWasUp = false;
    loop.duringNextDelay([this] { session.Timer1_Timer(); });
    session.Command1_Click();
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -y", " -y", " -x", " -x"}));
    EXPECT_TRUE(session.linkWasUp);
    EXPECT_TRUE(active());
}

TEST_F(SessionTest, stopDuringTheReapplyHasTheLastWord) {
    useIpsec();
    session.Command1_Click();
    for (int pause = 0; pause < 4; ++pause) {  // each pause of the withdraw-and-apply
        processes.started.clear();
        ASSERT_TRUE(active());
        session.linkWasUp = false;
        atPause(pause, [this] { session.Command2_Click(); });
        session.Timer1_Timer();
        const auto states = policyStates();
        ASSERT_GE(states.size(), 2u) << pause;
        EXPECT_EQ(states.back(), " -y") << pause;
        EXPECT_EQ(states[states.size() - 2], " -y") << pause;
        EXPECT_FALSE(active()) << pause;
        EXPECT_TRUE(startedStartingWith("ping ").empty()) << pause;
        session.Command1_Click();  // for the next round
    }
}

TEST_F(SessionTest, afterShutDownBeganNothingDialsPingsOrApplies) {
    useIpsec();
    session.beginShutDown();
    session.Command1_Click();
    session.Command3_Click();
    window.setValue(Control::Check3, 1);
    session.Timer2_Timer();
    session.linkWasUp = false;
    bringUp();
    session.Timer1_Timer();
    EXPECT_TRUE(processes.started.empty());
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SessionTest, greyedAutoDialDoesNotDial) {
    window.setValue(Control::Check3, 2);
    session.Timer2_Timer();
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SessionTest, anAutomaticAttemptThatToldTheUserSomethingHoldsTheAutoDialOff) {
    window.setValue(Control::Check3, 1);
    window.setText(Control::txtPasswd, "");
    session.Timer2_Timer();
    session.Timer2_Timer();
    EXPECT_EQ(window.messages, std::vector<std::string>{"L2TP参数错误！"});
    EXPECT_TRUE(session.autoDialHeld());

    // The user's own Connect says it again and lets the auto-dial try once more.
    session.Command1_Click();
    EXPECT_FALSE(session.autoDialHeld());
    session.Timer2_Timer();
    EXPECT_EQ(window.messages, std::vector<std::string>(3, "L2TP参数错误！"));
    window.setText(Control::txtPasswd, "secret");
    session.Timer2_Timer();
    EXPECT_TRUE(processes.waited.empty());

    // So does the user's L2TP dial.
    session.Command3_Click();
    EXPECT_FALSE(session.autoDialHeld());
}

TEST_F(SessionTest, anAutomaticAttemptThatGotTheLinkUpDoesNotHold) {
    window.setValue(Control::Check3, 1);
    window.setValue(Control::Check2, 1);  // the default-gateway dial always reports
    session.Timer2_Timer();
    EXPECT_EQ(window.messages, std::vector<std::string>{"拨号成功！"});
    EXPECT_FALSE(session.autoDialHeld());
    dropLink();
    session.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 2u);
}

TEST_F(SessionTest, theUsersStopHoldsTheAutoDialOffUntilTheyConnect) {
    window.setValue(Control::Check3, 1);
    session.Timer2_Timer();
    ASSERT_TRUE(active());
    session.Command2_Click();
    ASSERT_FALSE(active());
    dropLink();  // as the hang-up does
    for (int tick = 0; tick < 4; ++tick) {
        session.Timer2_Timer();
    }
    EXPECT_EQ(processes.waited.size(), 1u);
    EXPECT_FALSE(active());
    session.Command1_Click();
    ASSERT_TRUE(active());
    dropLink();
    session.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 3u);
}

TEST_F(SessionTest, anIpsecStopHoldsTheAutoDialOffToo) {
    useIpsec();
    window.setValue(Control::Check3, 1);
    session.Timer2_Timer();
    ASSERT_TRUE(active());
    session.Command2_Click();
    dropLink();
    session.Timer2_Timer();
    EXPECT_FALSE(active());
    EXPECT_EQ(processes.waited.size(), 1u);
}

TEST_F(SessionTest, autoDialRedialsADroppedLinkWithThePlainDialer) {
    window.setValue(Control::Check3, 1);
    session.Timer2_Timer();  // no session: Connect
    ASSERT_TRUE(active());
    ASSERT_EQ(processes.waited.size(), 1u);
    window.setValue(Control::Check2, 1);
    dropLink();
    session.Timer2_Timer();
    ASSERT_EQ(processes.waited.size(), 2u);
    EXPECT_FALSE(endsWith(processes.waited[1], "defaultgate.pbk "));
    session.Timer2_Timer();  // up again: nothing to do
    EXPECT_EQ(processes.waited.size(), 2u);
}

}  // namespace
}  // namespace velmora
