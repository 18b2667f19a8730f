#include "core/connection/session_controller.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/ipsec/windows_version.h"
#include "core/profile/validation.h"
#include "core/service/local_operations.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "core/system/general.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

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
        window.setVisible(Control::Command3, false);
        window.setVisible(Control::menuL2tp, false);
        table.add("192.0.2.7");
        // The stand-in for rasdial: the dial brings the entry up with a new address.
        processes.onRun = [this](const std::string& line) {
            if (dialSucceeds && startsWith(line, "rasdial ")) {
                bringUp();
            }
        };
    }

    // The connection and its address, in the service's answer and in the address table.
    void bringUp() {
        ras.connect(handle, "corvinaltexum");
        ras.addresses[handle] = tunnel;
        table.add(tunnel);
    }
    void dropLink() { ras.list.connections.clear(); }
    // The next dial brings up another connection, which gets another address.
    void nextLinkElsewhere() {
        dropLink();
        handle = 78;
        tunnel = "10.10.10.12";
    }

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
    bool saved() const { return files.files.count(testing::kSettingsPath) != 0; }
    bool active() const { return !window.enabled(Control::Command1); }

    FakeControlSurface window;
    WatchedSurface watched{window};
    testing::FakeRemoteAccess ras;
    LinkQuery link{ras};
    testing::FakeProcesses processes;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\alice\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeFileOperations programFiles;
    testing::FakeAnsiCodec codec;
    testing::FakeIpHelper table;
    testing::FakeEventLoop loop;
    testing::MemoryLog log;
    SettingsFile settings{watched, shell, files, codec, log.log};
    testing::FakeRegistry registry;
    testing::FakeWindowsVersion version;
    testing::FakeLogonTasks tasks;
    LocalOperations operations{processes, registry, files, programFiles, shell, version, tasks};
    Dialer dialer{watched, operations, loop, table, link, ras, log.log};
    IpsecPolicy policy{watched, operations, loop, log.log};
    SessionController session{watched, link, ras, table, processes, shell, registry, dialer, policy, settings, log.log};
    bool dialSucceeds = true;
    RasHandle handle = 77;
    std::string tunnel = "10.10.10.9";
};

TEST_F(SessionTest, ipsecConnectWithTheLinkAlreadyUpAppliesPolicyPingsAndMinimisesWithoutDialling) {
    useIpsec();
    bringUp();
    session.Command1_Click(Origin::window);
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
    session.Command1_Click(Origin::window);
    ASSERT_EQ(processes.waited.size(), 1u);
    EXPECT_TRUE(startsWith(processes.waited[0], "rasdial corvinaltexum alice "));
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SessionTest, ipsecConnectRefusedByValidationChangesNothing) {
    useIpsec();
    window.setText(Control::txtpreshare, "short");
    session.Command1_Click(Origin::window);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(active());
    EXPECT_TRUE(processes.started.empty());
    EXPECT_FALSE(saved());
    // The log names the check, never the value.
    EXPECT_EQ(log.file.lines, (std::vector<std::string>{testing::kLogTime + "请求连接（窗口按钮）",
                                                        testing::kLogTime + "连接未进行，参数检查未通过：预先共享的密钥不能小于6个字节" + kSetByAdministrator}));
}

// The entry's link up already (it came back by itself): Connect saves, dials nothing and makes it
// the session's, which Stop then ends.
TEST_F(SessionTest, plainConnectWhileUpSavesAndTakesTheLinkAsTheSessions) {
    bringUp();
    session.Command1_Click(Origin::window);
    EXPECT_TRUE(saved());
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.enabled(Control::menuOff));
    EXPECT_EQ(window.windowState(), WindowState::normal);
}

TEST_F(SessionTest, plainConnectWithABlankOnlyEssentialIsRefusedUnsaved) {
    for (Control essential : {Control::txtServerAddress, Control::txtUserName, Control::txtPasswd}) {
        window.setText(essential, "   ");
        session.Command1_Click(Origin::window);
        window.setText(essential, "x");
    }
    EXPECT_EQ(window.messages, std::vector<std::string>(3, "L2TP参数错误！"));
    EXPECT_FALSE(saved());
    EXPECT_TRUE(processes.waited.empty());
}

TEST_F(SessionTest, plainConnectThatBringsTheLinkUpGoesActiveAndMinimises) {
    session.Command1_Click(Origin::window);
    EXPECT_TRUE(saved());
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_TRUE(window.enabled(Control::menuOff));
    EXPECT_FALSE(window.enabled(Control::menuOn));
    EXPECT_EQ(window.windowState(), WindowState::minimised);
}

TEST_F(SessionTest, failedPlainDialLeavesTheButtons) {
    dialSucceeds = false;
    session.Command1_Click(Origin::window);
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_EQ(window.windowState(), WindowState::normal);
    EXPECT_EQ(window.messages, std::vector<std::string>{"拨号失败！请检查PPTP参数重新拨号！"}) << "a PPTP profile";
}

TEST_F(SessionTest, plainConnectWithTheDefaultGatewayUsesItsPhonebook) {
    window.setValue(Control::Check2, 1);
    session.Command1_Click(Origin::window);
    ASSERT_EQ(processes.waited.size(), 1u);
    EXPECT_TRUE(endsWith(processes.waited[0], "/PHONEBOOK:\"C:\\Program Files\\Velmora\\defaultgate.pbk\" "));
}

TEST_F(SessionTest, ipsecStopWithdrawsThePolicyAndLeavesTheLink) {
    useIpsec();
    session.Command1_Click(Origin::window);
    processes.started.clear();
    session.Command2_Click(Origin::window);
    EXPECT_EQ(linesEndingWith(" -y").size(), 2u);
    EXPECT_TRUE(ras.hangUps.empty());
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(SessionTest, plainStopHangsUpTheFoundConnection) {
    session.Command1_Click(Origin::window);
    session.Command2_Click(Origin::window);
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{77});
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::menuOff));
}

TEST_F(SessionTest, plainStopWithTheLinkDownDoesNothing) {
    session.Command1_Click(Origin::window);
    dropLink();
    session.Command2_Click(Origin::window);
    EXPECT_TRUE(ras.hangUps.empty());
    EXPECT_TRUE(active());
}

TEST_F(SessionTest, l2tpDialDialsOnlyWhenDown) {
    bringUp();
    session.Command3_Click(Origin::window);
    EXPECT_TRUE(processes.waited.empty());
    dropLink();
    session.Command3_Click(Origin::window);
    EXPECT_EQ(processes.waited.size(), 1u);
}

TEST_F(SessionTest, linkWatchEndsAPlainSessionWhenTheLinkDrops) {
    session.Command1_Click(Origin::window);
    session.Timer1_Timer();
    EXPECT_TRUE(active());
    dropLink();
    session.Timer1_Timer();
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
}

// A plain session's link that comes back by itself is the session's again: Stop is there to end
// it, its routes come back, and the log says so.
TEST_F(SessionTest, aPlainLinkThatComesBackByItselfCanBeStoppedAgain) {
    session.Command1_Click(Origin::window);
    dropLink();
    session.Timer1_Timer();
    ASSERT_FALSE(active());
    processes.started.clear();
    bringUp();
    session.Timer1_Timer();
    EXPECT_TRUE(active());
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_TRUE(window.enabled(Control::menuOff));
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "链路恢复：corvinaltexum");
    EXPECT_EQ(processes.started.size(), 1u) << "the route of network 1";
    session.Command2_Click(Origin::window);
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{77});
    EXPECT_FALSE(active());
    // A link up that no session of the program had lost is left as it is.
    bringUp();
    session.Timer1_Timer();
    EXPECT_FALSE(active());
}

// An IPsec session's link that is down: 重新连接, in the window and the tray, is the way back,
// until the link is up again or Stop ends the session.
TEST_F(SessionTest, theWayBackToAnIpsecLinkShowsWhileItIsDown) {
    useIpsec();
    session.Command1_Click(Origin::window);
    EXPECT_FALSE(window.visible(Control::Command3));
    dropLink();
    session.Timer1_Timer();
    EXPECT_TRUE(window.visible(Control::Command3));
    EXPECT_TRUE(window.visible(Control::menuL2tp));
    session.Command3_Click(Origin::window);
    session.Timer1_Timer();
    EXPECT_FALSE(window.visible(Control::Command3));
    EXPECT_FALSE(window.visible(Control::menuL2tp));
    dropLink();
    session.Timer1_Timer();
    session.Command2_Click(Origin::window);
    EXPECT_FALSE(window.visible(Control::Command3));
    EXPECT_FALSE(window.visible(Control::menuL2tp));
}

TEST_F(SessionTest, downUpUpReappliesThePolicyOnceAndAddsRoutesOnEveryUpTick) {
    useIpsec();
    session.Command1_Click(Origin::window);  // dials: the routes are stored
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
    session.Command1_Click(Origin::window);
    session.Command2_Click(Origin::window);
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
    session.Command1_Click(Origin::window);
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -y", " -y", " -x", " -x"}));
    EXPECT_TRUE(session.linkWasUp);
    EXPECT_TRUE(active());
}

TEST_F(SessionTest, stopDuringTheReapplyHasTheLastWord) {
    useIpsec();
    session.Command1_Click(Origin::window);
    for (int pause = 0; pause < 4; ++pause) {  // each pause of the withdraw-and-apply
        processes.started.clear();
        ASSERT_TRUE(active());
        dropLink();
        session.Timer1_Timer();
        bringUp();
        atPause(pause, [this] { session.Command2_Click(Origin::window); });
        session.Timer1_Timer();
        const auto states = policyStates();
        ASSERT_GE(states.size(), 2u) << pause;
        EXPECT_EQ(states.back(), " -y") << pause;
        EXPECT_EQ(states[states.size() - 2], " -y") << pause;
        EXPECT_FALSE(active()) << pause;
        EXPECT_TRUE(startedStartingWith("ping ").empty()) << pause;
        session.Command1_Click(Origin::window);  // for the next round
    }
}

TEST_F(SessionTest, afterShutDownBeganNothingDialsPingsOrApplies) {
    useIpsec();
    session.shutDown();
    processes.started.clear();
    session.Command1_Click(Origin::window);
    session.Command3_Click(Origin::window);
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

    // The user's own Connect says it again; refused, it leaves the auto-dial held.
    session.Command1_Click(Origin::window);
    EXPECT_TRUE(session.autoDialHeld());
    session.Timer2_Timer();
    EXPECT_EQ(window.messages, std::vector<std::string>(2, "L2TP参数错误！"));
    EXPECT_TRUE(processes.waited.empty());

    // A Connect whose fields pass lets it try again; so does the user's L2TP dial.
    window.setText(Control::txtPasswd, "secret");
    dialSucceeds = false;
    session.Command1_Click(Origin::window);
    EXPECT_FALSE(session.autoDialHeld());
    session.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 2u);
    session.Command2_Click(Origin::window);
    ASSERT_TRUE(session.autoDialHeld());
    session.Command3_Click(Origin::window);
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
    session.Command2_Click(Origin::window);
    ASSERT_FALSE(active());
    dropLink();  // as the hang-up does
    for (int tick = 0; tick < 4; ++tick) {
        session.Timer2_Timer();
    }
    EXPECT_EQ(processes.waited.size(), 1u);
    EXPECT_FALSE(active());
    session.Command1_Click(Origin::window);
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
    session.Command2_Click(Origin::window);
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

// After the computer slept or its addresses changed, the watch and the auto-dial look at once: a
// link the service lists without its tunnel is hung up and dialled again, the policy following the
// new address (a missing address once two looks in a row missed it); a dropped link is redialled;
// nothing else is touched, nor is a link the service gives no answer about.
enum class LinkAfterSleep { alive, addressGone, notConnected, dropped, unanswered };

struct LookRow {
    LinkAfterSleep link;
    bool autoDial;
    bool hungUp;
    bool redialled;
};

class SessionLookTest : public SessionTest, public ::testing::WithParamInterface<LookRow> {};

TEST_P(SessionLookTest, aDeadLinkIsHungUpAndRedialledOnlyWithAutoDial) {
    const LookRow row = GetParam();
    useIpsec();
    window.setValue(Control::Check3, row.autoDial ? 1 : 0);
    session.Command1_Click(Origin::window);
    session.Timer1_Timer();
    ASSERT_TRUE(active());
    processes.started.clear();
    processes.waited.clear();
    switch (row.link) {
    case LinkAfterSleep::alive: break;
    case LinkAfterSleep::addressGone: table.table.addresses.pop_back(); break;
    case LinkAfterSleep::notConnected: ras.disconnected.insert(handle); break;
    case LinkAfterSleep::dropped: dropLink(); break;
    case LinkAfterSleep::unanswered: ras.unanswered.insert(handle); break;
    }
    nextLinkElsewhere();
    if (row.link != LinkAfterSleep::dropped) {
        ras.connect(77, "corvinaltexum");
    }
    if (row.link == LinkAfterSleep::addressGone) {
        session.linkMayHaveChanged(true);
        EXPECT_TRUE(ras.hangUps.empty()) << "the first look that misses the address looks again";
    }
    session.linkMayHaveChanged(true);
    EXPECT_EQ(ras.hangUps, row.hungUp ? std::vector<RasHandle>{77} : std::vector<RasHandle>{});
    EXPECT_EQ(std::count(log.file.lines.begin(), log.file.lines.end(),
                         testing::kLogTime + "链路已列出但隧道不通，挂断后重拨：corvinaltexum"),
              row.hungUp ? 1 : 0);
    EXPECT_EQ(processes.waited.size(), row.redialled ? 1u : 0u);
    if (row.redialled) {
        EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.12");
        const auto applied = linesEndingWith(" -x");
        ASSERT_FALSE(applied.empty());
        EXPECT_NE(applied.back().find("10.10.10.12/255.255.255.255"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionLookTest,
                         ::testing::Values(LookRow{LinkAfterSleep::alive, true, false, false},
                                           LookRow{LinkAfterSleep::addressGone, true, true, true},
                                           LookRow{LinkAfterSleep::notConnected, true, true, true},
                                           LookRow{LinkAfterSleep::dropped, true, false, true},
                                           LookRow{LinkAfterSleep::unanswered, true, false, false},
                                           LookRow{LinkAfterSleep::addressGone, false, false, false}));

// The link comes up again with another address without the link watch seeing it go down, in
// each of the ways a command can bring it up.
enum class Relink { autoDialFirst, dialButtonFirst, dialButtonInsideTheReapply, activationDuringTheRedial };

class SessionRelinkTest : public SessionTest, public ::testing::WithParamInterface<Relink> {};

TEST_P(SessionRelinkTest, thePolicyIsAppliedAnewForTheNewAddressAndPingFollows) {
    useIpsec();
    window.setValue(Control::Check3, 1);
    session.Command1_Click(Origin::window);
    session.Timer1_Timer();  // the watch has seen 10.10.10.9 up
    processes.started.clear();
    switch (GetParam()) {
    case Relink::autoDialFirst:
        nextLinkElsewhere();
        session.Timer2_Timer();
        break;
    case Relink::dialButtonFirst:
        nextLinkElsewhere();
        session.Command3_Click(Origin::window);
        break;
    case Relink::dialButtonInsideTheReapply:
        dropLink();
        session.Timer1_Timer();
        bringUp();  // back with the old address: the watch withdraws and applies for it...
        loop.duringNextDelay([this] {
            nextLinkElsewhere();  // ...when it drops again and the user dials a new link
            session.Command3_Click(Origin::window);
        });
        session.Timer1_Timer();
        break;
    case Relink::activationDuringTheRedial:
        nextLinkElsewhere();
        loop.duringNextDelay([this] { session.linkWasUp = link.getL2tpState("corvinaltexum"); });
        session.Timer2_Timer();
        break;
    }
    session.Timer1_Timer();  // the watch's tick that was due
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.12");
    const auto states = policyStates();
    ASSERT_GE(states.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(states.end() - 4, states.end()),
              (std::vector<std::string>{" -y", " -y", " -x", " -x"}));
    const auto applied = linesEndingWith(" -x");
    for (auto line = applied.end() - 2; line != applied.end(); ++line) {
        EXPECT_NE(line->find("10.10.10.12/255.255.255.255"), std::string::npos) << *line;
    }
    const auto lastApplied = std::find(processes.started.rbegin(), processes.started.rend(), applied.back());
    EXPECT_NE(std::find(processes.started.rbegin(), lastApplied, "ping -n 8 10.0.0.0"), lastApplied);
}

INSTANTIATE_TEST_SUITE_P(Ways, SessionRelinkTest,
                         ::testing::Values(Relink::autoDialFirst, Relink::dialButtonFirst,
                                           Relink::dialButtonInsideTheReapply, Relink::activationDuringTheRedial));

TEST_F(SessionTest, aConnectWhoseDialBringsUpTheAddressAppliedDoesNotApplyAgain) {
    useIpsec();
    window.setText(Control::txtlocal, "10.10.10.9");
    session.Command1_Click(Origin::window);  // applied for 10.10.10.9 before the dial, which brings up that address
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -x"}));
    session.Command2_Click(Origin::window);
    nextLinkElsewhere();
    processes.started.clear();
    session.Command1_Click(Origin::window);  // this time the dial brings up another address than applied
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -x", " -y", " -y", " -x", " -x"}));
    EXPECT_NE(linesEndingWith(" -x").back().find("10.10.10.12/255.255.255.255"), std::string::npos);
}

// Where the link's address comes from, with a saved txtlocal of another session in the field.
struct AddressSourceCase {
    const char* name;
    bool alreadyUp;        // dialled another way before Connect
    bool serviceAnswers;   // the service gives the connection's address
    const char* newInTable;  // what the address table gains with the link ("" nothing)
    const char* protectedAddress;  // the address of the last apply; "" when the policy is not in force
};

class SessionAddressTest : public SessionTest, public ::testing::WithParamInterface<AddressSourceCase> {};

TEST_P(SessionAddressTest, thePolicyIsAppliedForTheLinksOwnAddress) {
    const AddressSourceCase& c = GetParam();
    useIpsec();
    window.setValue(Control::Check3, 1);  // no dial report
    window.setText(Control::txtlocal, "10.10.10.2");
    processes.onRun = [this, &c](const std::string& line) {
        if (startsWith(line, "rasdial ")) {
            ras.connect(handle, "corvinaltexum");
            if (*c.newInTable != '\0') {
                table.add(c.newInTable);
            }
        }
    };
    if (c.serviceAnswers) {
        ras.addresses[handle] = "10.10.10.9";
    }
    if (c.alreadyUp) {
        ras.connect(handle, "corvinaltexum");
    }
    session.Command1_Click(Origin::window);
    session.Timer1_Timer();
    session.Timer1_Timer();

    const auto applied = linesEndingWith(" -x");
    ASSERT_GE(applied.size(), 2u);
    const std::string last = applied.back();
    if (*c.protectedAddress != '\0') {
        EXPECT_EQ(window.text(Control::txtlocal), c.protectedAddress);
        EXPECT_NE(last.find(std::string(c.protectedAddress) + "/255.255.255.255"), std::string::npos) << last;
        EXPECT_EQ(link.status().policy(), LinkStatus::Policy::nothingToSay);
        EXPECT_TRUE(window.messages.empty());
    } else {
        EXPECT_EQ(link.status().policy(), LinkStatus::Policy::notInForce);
        EXPECT_EQ(window.messages.size(), 1u);  // told once, not at every tick
        ASSERT_FALSE(window.messages.empty());
        EXPECT_EQ(window.messages[0].rfind("无法得知当前连接获得的IP地址", 0), 0u) << window.messages[0];
        EXPECT_EQ(applied.size(), 2u);  // nothing applied for a guess
    }
    EXPECT_EQ(startedStartingWith("ping ").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SessionAddressTest,
    ::testing::Values(AddressSourceCase{"serviceOverAnotherAdaptersNewAddress", false, true, "192.0.2.30", "10.10.10.9"},
                      AddressSourceCase{"snapshotOnly", false, false, "10.10.10.9", "10.10.10.9"},
                      AddressSourceCase{"neither", false, false, "", ""},
                      AddressSourceCase{"serviceForALinkUpAtConnect", true, true, "", "10.10.10.9"}),
    [](const ::testing::TestParamInfo<AddressSourceCase>& info) { return std::string(info.param.name); });

// A link dialled another way whose address nobody can tell: the saved address may be another
// link's, so nothing is applied, the user is told, and the session does not begin.
TEST_F(SessionTest, aLinkUpAtConnectWhoseAddressNobodyKnowsGetsNoPolicy) {
    useIpsec();
    window.setText(Control::txtlocal, "10.10.10.2");
    ras.connect(handle, "corvinaltexum");
    session.Command1_Click(Origin::window);

    EXPECT_TRUE(linesEndingWith(" -x").empty());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("无法得知当前连接获得的IP地址", 0), 0u) << window.messages[0];
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_TRUE(startedStartingWith("ping ").empty());
}

TEST_F(SessionTest, aLinkThatComesBackGetsOnePairAndOnePingWhicheverDialBringsItBack) {
    useIpsec();
    window.setValue(Control::Check3, 1);
    window.setText(Control::txtlocal, "10.10.10.9");
    session.Command1_Click(Origin::window);
    session.Timer1_Timer();
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -x"}));  // the dial brought up what was applied
    for (const bool byTheUser : {false, true}) {
        processes.started.clear();
        nextLinkElsewhere();
        session.Timer1_Timer();  // the watch sees it down
        if (byTheUser) {
            session.Command3_Click(Origin::window);
        } else {
            session.Timer2_Timer();
        }
        session.Timer1_Timer();
        session.Timer1_Timer();
        EXPECT_EQ(policyStates(), (std::vector<std::string>{" -y", " -y", " -x", " -x"})) << byTheUser;
        EXPECT_EQ(startedStartingWith("ping ").size(), 1u) << byTheUser;
        handle = 77;
        tunnel = "10.10.10.9";
    }
}

// The redial after a Connect whose own dial failed brings up the address applied before it: the
// policy covers that link as it is, and its far end is pinged all the same.
TEST_F(SessionTest, aRedialToTheAddressAppliedBeforeIsPingedToo) {
    useIpsec();
    window.setValue(Control::Check3, 1);
    window.setText(Control::txtlocal, tunnel);
    for (const bool byTheUser : {false, true}) {
        dialSucceeds = false;
        session.Command1_Click(Origin::window);
        dialSucceeds = true;
        processes.started.clear();
        if (byTheUser) {
            session.Command3_Click(Origin::window);
        } else {
            session.Timer2_Timer();
        }
        EXPECT_TRUE(policyStates().empty()) << byTheUser;  // what was applied covers it
        EXPECT_EQ(startedStartingWith("ping ").size(), 1u) << byTheUser;
        session.Command2_Click(Origin::window);
        dropLink();
    }
}

// "拨号成功！" waits for the user's OK only once the policy is in force for the link's own address:
// nothing runs unprotected behind the box.
TEST_F(SessionTest, theDialsSuccessIsToldOnceTheLinkIsProtected) {
    useIpsec();
    window.setText(Control::txtlocal, "10.10.10.2");
    std::vector<std::string> statesAtTheBox;
    window.duringMessage = [&](const std::string& text) {
        if (text == "拨号成功！") {
            statesAtTheBox = policyStates();
        }
    };
    session.Command1_Click(Origin::window);
    EXPECT_EQ(statesAtTheBox, (std::vector<std::string>{" -x", " -x", " -y", " -y", " -x", " -x"}));
    EXPECT_EQ(window.messages, std::vector<std::string>{"拨号成功！"});
}

// A link that a Connect brought up and that goes before the watch first looks is told as lost.
TEST_F(SessionTest, aLinkLostBeforeTheWatchsFirstLookIsLogged) {
    useIpsec();
    session.Command1_Click(Origin::window);
    dropLink();
    session.Timer1_Timer();
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(), testing::kLogTime + "链路断开：corvinaltexum"),
              log.file.lines.end());
}

// An apply that failed and the withdrawal after it that failed too: the user hears of both.
TEST_F(SessionTest, aFailedApplyAndAFailedCleanUpAreBothTold) {
    useIpsec();
    policy.setIpsecTool(kPolicyToolName);
    processes.statusOf = [](const std::string&) -> std::optional<std::uint32_t> { return 1u; };
    session.Command1_Click(Origin::window);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("IPSec策略没有设置成功", 0), 0u) << window.messages[0];
    EXPECT_NE(window.messages[0].find("IPSec策略没有撤销成功"), std::string::npos) << window.messages[0];
    EXPECT_FALSE(active());
}

TEST_F(SessionTest, stopsWithdrawalStaysFinalWhateverIsChosenInsideIt) {
    useIpsec();
    window.setValue(Control::Check3, 1);
    session.Command1_Click(Origin::window);
    dropLink();
    session.Timer1_Timer();  // 重新连接 offered in the window and the tray
    ASSERT_TRUE(window.visible(Control::menuL2tp));
    ASSERT_TRUE(window.enabled(Control::menuL2tp));
    const auto dials = processes.waited.size();
    processes.started.clear();
    atPause(0, [this] {
        EXPECT_FALSE(window.enabled(Control::menuL2tp));
        EXPECT_FALSE(window.enabled(Control::Command3));
        session.Command3_Click(Origin::tray);
        session.Timer2_Timer();
        bringUp();
        session.Timer1_Timer();
    });
    session.Command2_Click(Origin::window);
    EXPECT_EQ(processes.waited.size(), dials);
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -y", " -y"}));
    EXPECT_FALSE(active());
    EXPECT_TRUE(session.autoDialHeld());
    EXPECT_TRUE(window.enabled(Control::menuL2tp));  // as it was before Stop
}

// Connect on Windows Vista on, where each run of the policy tool is watched.
class WatchedPolicyTest : public SessionTest {
protected:
    WatchedPolicyTest() {
        version.record = {10, 0, "", 19045};
        policy.setIpsecTool("velmora-ipsec");
        useIpsec();
    }
    std::vector<std::string> toolLines(const std::string& end) const {
        std::vector<std::string> found;
        for (const auto& line : processes.started) {
            if (startsWith(line, "velmora-ipsec ") && endsWith(line, end)) {
                found.push_back(line);
            }
        }
        return found;
    }
};

TEST_F(WatchedPolicyTest, aFailedApplyWithdrawsItTellsWhyAndDialsNothing) {
    const std::vector<std::pair<std::optional<std::uint32_t>, std::string>> failures = {
        {87u, "不接受这些设置（退出码 87），请检查远端内网地址、掩码和预共享的密钥。"},
        {1u, "netsh 设置策略时出错（退出码 1）。"},
        {std::nullopt, "无法启动策略工具 C:\\Program Files\\Velmora\\velmora-ipsec.exe。"},
    };
    for (const auto& [status, why] : failures) {
        processes.started.clear();
        window.messages.clear();
        processes.statusOf = [status = status](const std::string& line) -> std::optional<std::uint32_t> {
            return line.find("zerta to windows") != std::string::npos && endsWith(line, " -x") ? status : 0u;
        };
        session.Command1_Click(Origin::window);
        EXPECT_EQ(toolLines(" -x").size(), 2u) << why;
        EXPECT_EQ(toolLines(" -y").size(), 2u) << why;
        EXPECT_TRUE(endsWith(processes.started.back(), " -y")) << why;
        EXPECT_TRUE(processes.waited.empty()) << why;
        EXPECT_FALSE(saved()) << why;
        EXPECT_FALSE(active()) << why;
        EXPECT_FALSE(window.enabled(Control::Command2)) << why;
        ASSERT_EQ(window.messages.size(), 1u) << why;
        EXPECT_EQ(window.messages[0].rfind("IPSec策略没有设置成功，本次没有拨号。\n\n原因：", 0), 0u) << window.messages[0];
        EXPECT_NE(window.messages[0].find(why), std::string::npos) << window.messages[0];
    }
}

TEST_F(WatchedPolicyTest, aKeyWithADoubleQuoteIsRefusedBeforeAnythingRuns) {
    window.setText(Control::txtpreshare, "shared\"key");
    session.Command1_Click(Origin::window);
    EXPECT_TRUE(processes.started.empty());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("预共享的密钥不能含有双引号", 0), 0u) << window.messages[0];
    EXPECT_NE(window.messages[0].find(kSetByAdministrator), std::string::npos) << "the user cannot see the key";
    EXPECT_FALSE(active());
}

TEST_F(WatchedPolicyTest, aFailedReapplyIsToldOnceAndShownOnTheTray) {
    session.Command1_Click(Origin::window);
    window.messages.clear();
    processes.statusOf = [](const std::string& line) -> std::optional<std::uint32_t> {
        return endsWith(line, " -x") ? 1u : 0u;
    };
    for (int drop = 0; drop < 2; ++drop) {
        dropLink();
        session.Timer1_Timer();
        bringUp();
        session.Timer1_Timer();
    }
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("IPSec策略没有重新设置成功，当前连接不受IPSec保护。", 0), 0u);
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::notInForce);
    EXPECT_TRUE(active());
    session.Command2_Click(Origin::window);
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::nothingToSay);
}

TEST_F(WatchedPolicyTest, aFailedWithdrawalRunsBothLinesAndIsToldAndLogged) {
    session.Command1_Click(Origin::window);
    processes.started.clear();
    window.messages.clear();
    processes.statusOf = [](const std::string& line) -> std::optional<std::uint32_t> {
        return line.find("windows to zerta") != std::string::npos && endsWith(line, " -y") ? 1u : 0u;
    };
    session.Command2_Click(Origin::window);
    EXPECT_EQ(toolLines(" -y").size(), 2u);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("IPSec策略没有撤销成功，本程序的IPSec策略 corvinaltexum 可能仍然指派在本计算机上", 0), 0u)
        << window.messages[0];
    EXPECT_NE(window.messages[0].find("请检查本计算机的IPSec策略"), std::string::npos);
    EXPECT_NE(window.messages[0].find("退出码 1"), std::string::npos);
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "IPSec策略 -y（撤销）：velmora-ipsec，退出码 1、0");
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::notWithdrawn);
    EXPECT_FALSE(active());

    // A later withdrawal that succeeds clears it.
    processes.statusOf = nullptr;
    session.Command1_Click(Origin::window);
    session.Command2_Click(Origin::window);
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::nothingToSay);
}

TEST_F(WatchedPolicyTest, aFailedReapplyIsTriedAgainAtTheNextTickUntilItIsSet) {
    session.Command1_Click(Origin::window);
    window.messages.clear();
    int failures = 2;
    processes.statusOf = [&failures](const std::string& line) -> std::optional<std::uint32_t> {
        if (!endsWith(line, " -x") || line.find("zerta to windows") == std::string::npos) {
            return 0u;
        }
        return failures-- > 0 ? 1u : 0u;
    };
    dropLink();
    session.Timer1_Timer();
    bringUp();
    processes.started.clear();
    for (int tick = 0; tick < 4; ++tick) {
        session.Timer1_Timer();
    }
    // Two failed pairs, the third sets it; the fourth tick finds it covered.
    EXPECT_EQ(toolLines(" -x").size(), 6u);
    EXPECT_EQ(toolLines(" -y").size(), 6u);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::nothingToSay);
    EXPECT_EQ(startedStartingWith("ping ").size(), 1u);
}

TEST_F(SessionTest, aDomainPolicyAndConnectionSecurityRulesAreToldOnceWhenAnIpsecSessionStarts) {
    registry.setString(kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\GPTIPSECPolicy",
                       "DSIPSECPolicyPath", "LDAP://CN=ipsecPolicy{1},CN=IP Security,CN=System,DC=example,DC=com");
    registry.setString(kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\ConSecRules", "{5e1f}",
                       "v2.10|Action=RequireInRequestOut|Profile=Domain|");
    useIpsec();
    session.Command1_Click(Origin::window);
    session.Command2_Click(Origin::window);
    session.Command1_Click(Origin::window);
    for (const char* told : {"本计算机由域的组策略指派了IPSec策略", "本计算机由域的组策略设置了连接安全规则"}) {
        EXPECT_EQ(std::count_if(window.messages.begin(), window.messages.end(),
                                [told](const std::string& m) { return m.rfind(told, 0) == 0; }),
                  1)
            << told;
    }
    EXPECT_TRUE(active());
    // Looked at again at each Connect: the tray says the domain's policy applies while it does.
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::domainApplies);
    registry.keys.erase({kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\GPTIPSECPolicy"});
    session.Command2_Click(Origin::window);
    session.Command1_Click(Origin::window);
    EXPECT_EQ(link.status().policy(), LinkStatus::Policy::nothingToSay);
}

// Stop or the program's end while the dial is still running.
class SessionEndsADialTest : public SessionTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SessionEndsADialTest, theDialEndsItsConnectionIsHungUpAndTheWithdrawalComesLast) {
    const bool closing = GetParam();
    useIpsec();
    window.setValue(Control::Check3, 1);
    processes.holdDials = true;
    atPause(2, [this, closing] {  // after the apply's two pauses, the dial's wait
        // Connect and L2TP dial off, Stop on; the service lists the link being made.
        EXPECT_FALSE(window.enabled(Control::Command1));
        EXPECT_FALSE(window.enabled(Control::menuL2tp));
        EXPECT_TRUE(window.enabled(Control::Command2));
        EXPECT_TRUE(window.enabled(Control::menuOff));
        ras.connect(77, "corvinaltexum");
        processes.started.clear();
        if (closing) {
            session.shutDown();
        } else {
            session.Command2_Click(Origin::window);
        }
    });
    session.Command1_Click(Origin::window);
    EXPECT_EQ(processes.terminations, 1);
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{77});
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -y", " -y"}));
    EXPECT_TRUE(processes.started.empty() || endsWith(processes.started.back(), " -y"));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.windowState(), WindowState::normal);
    if (!closing) {
        EXPECT_FALSE(active());
        EXPECT_FALSE(window.enabled(Control::Command2));
        EXPECT_TRUE(session.autoDialHeld());
    }
}

INSTANTIATE_TEST_SUITE_P(StopOrClose, SessionEndsADialTest, ::testing::Bool());

// A cancel goes as the remote-access service asks, whether rasdial returns once its connection is
// hung up (as it does) or has to be ended; a connection that registers meanwhile goes too.
TEST_F(SessionTest, aCancelHangsUpWaitsForRasdialListsAgainAndWaitsUntilGoneBeforeTheWithdrawal) {
    for (const bool rasdialReturns : {true, false}) {
        SCOPED_TRACE(rasdialReturns);
        std::vector<std::string> calls;
        testing::FakeRemoteAccess service;
        service.calls = &calls;
        service.lingerLooks = 2;
        LinkQuery query{service};
        Dialer dials{watched, operations, loop, table, query, service, log.log};
        IpsecPolicy rule{watched, operations, loop, log.log};
        SessionController controller{watched, query, service, table, processes, shell, registry, dials, rule, settings,
                                     log.log};
        processes = testing::FakeProcesses();
        processes.holdDials = true;
        processes.statusOf = [&](const std::string& line) {
            calls.push_back("run" + line.substr(line.size() - 3));
            return std::optional<std::uint32_t>(0u);
        };
        service.onHangUp = [&](RasHandle handle) {
            if (handle == 77) {
                if (rasdialReturns) {
                    processes.lastShown->endWith(631);
                    calls.push_back("rasdial returns");
                }
                service.connect(79, "corvinaltexum");  // registered after the first look
            }
        };
        useIpsec();
        window.setEnabled(Control::Command1, true);
        atPause(2, [&] {  // the dial's wait, after the apply's two pauses
            service.connect(77, "corvinaltexum");
            calls.clear();
            controller.Command2_Click(Origin::window);
            EXPECT_TRUE(window.enabled(Control::Command1)) << "Connect comes back after it all";
        });
        controller.Command1_Click(Origin::window);
        const std::vector<std::string> returned = {"list", "hangUp 77", "rasdial returns", "list", "hangUp 79",
                                                   "gone 77", "gone 79", "list", "run -y", "run -y"};
        const std::vector<std::string> ended = {"list", "hangUp 77", "list", "hangUp 79",
                                                "gone 77", "gone 79", "list", "run -y", "run -y"};
        EXPECT_EQ(calls, rasdialReturns ? returned : ended);
        EXPECT_EQ(processes.terminations, rasdialReturns ? 0 : 1);
        EXPECT_TRUE(service.list.connections.empty());
        EXPECT_FALSE(query.status().up()) << "the tray shows the link as it is at once";
        EXPECT_FALSE(active());
    }
}

TEST_F(SessionTest, whatDialsOrHangsUpIsUnavailableForADialsSpanAndComesBackAfter) {
    struct Row {
        Control control;
        bool during;
    };
    const Row rows[] = {
        {Control::Command1, false}, {Control::menuOn, false}, {Control::Command3, false}, {Control::menuL2tp, false},
        {Control::Check1, false},   {Control::Check2, false}, {Control::Command2, true},  {Control::menuOff, true},
    };
    for (const bool ipsec : {false, true}) {
        SCOPED_TRACE(ipsec);
        window.setValue(Control::Check1, ipsec ? 1 : 0);
        window.setEnabled(Control::Command3, true);
        dialSucceeds = false;
        std::vector<bool> before;
        for (const Row& row : rows) {
            before.push_back(window.enabled(row.control));
        }
        atPause(ipsec ? 2 : 0, [&] {
            for (const Row& row : rows) {
                EXPECT_EQ(window.enabled(row.control), row.during) << static_cast<int>(row.control);
            }
        });
        session.Command1_Click(Origin::window);
        ASSERT_EQ(loop.delays + loop.waits, ipsec ? 3 : 1) << "the dial's wait was reached";
        loop = testing::FakeEventLoop();
        // A failed plain dial leaves everything as it was; a failed IPsec one leaves the session.
        for (std::size_t i = 0; i < std::size(rows); ++i) {
            const bool session = ipsec && (rows[i].control == Control::Command1 || rows[i].control == Control::menuOn ||
                                           rows[i].control == Control::Command2 || rows[i].control == Control::menuOff);
            EXPECT_EQ(window.enabled(rows[i].control), session ? rows[i].during : before[i])
                << static_cast<int>(rows[i].control);
        }
        session.Command2_Click(Origin::window);
    }
}

TEST_F(SessionTest, stopIsThereFromTheStartOfConnectAndEndsItBeforeTheDial) {
    useIpsec();
    window.setEnabled(Control::Command3, true);
    atPause(0, [this] {  // the apply's first pause
        EXPECT_TRUE(window.enabled(Control::Command2));
        EXPECT_TRUE(window.enabled(Control::menuOff));
        session.Command2_Click(Origin::window);
    });
    session.Command1_Click(Origin::window);
    EXPECT_TRUE(processes.waited.empty()) << "nothing dialled";
    EXPECT_EQ(policyStates(), (std::vector<std::string>{" -x", " -y", " -y"}));
    EXPECT_FALSE(active());
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_TRUE(window.enabled(Control::Command3)) << "as the Connect found it";
    EXPECT_EQ(window.windowState(), WindowState::normal);
}

}  // namespace
}  // namespace velmora
