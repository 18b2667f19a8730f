#include "ui/form1.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/service/local_operations.h"
#include "core/settings/secret_line.h"
#include "core/system/general.h"
#include "core/system/l2tp_switch.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_form_host.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_management_service.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora {
namespace {

constexpr const char* kParameters = "System\\CurrentControlSet\\Services\\RasMan\\Parameters";
const std::string kSettings = testing::kSettingsPath;

class Form1Test : public ::testing::Test {
protected:
    Form1Test() {
        registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 1);
        version.record = {5, 1, "Service Pack 3", 2600};
        management.ids = {"BFEBFBFF000206A7"};
        ip.addresses = {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}};
        ip.add("192.0.2.7");
    }

    // A settings file as a Connect would have saved it from a window holding these values.
    void storeSettings(int check1, int check2, int check3, int checkHD, const std::string& preshare = "sharedkey",
                       const std::string& passwd = "secret", int protocol = kProtocolPptp) {
        testing::FakeControlSurface saved;
        saved.setValue(Control::Option1, protocol);
        saved.setText(Control::comalg, "ESP-3DES-SHA");
        saved.setText(Control::txtpreshare, preshare);
        saved.setText(Control::txtUserName, "alice");
        saved.setText(Control::txtPasswd, passwd);
        saved.setValue(Control::Check1, check1);
        saved.setValue(Control::Check2, check2);
        saved.setValue(Control::Check3, check3);
        saved.setValue(Control::checkHD, checkHD);
        testing::MemoryLog unused;
        SettingsFile(saved, shell, files, codec, unused.log).writeConfig();
    }

    // The policy lines' endings (" -x", " -y") in the order they were started.
    std::vector<std::string> policyStates() const {
        std::vector<std::string> states;
        for (const auto& line : processes.started) {
            if (line.rfind("ipseccmd ", 0) == 0) {
                states.push_back(line.substr(line.size() - 3));
            }
        }
        return states;
    }
    int startedWith(const std::string& start) const {
        return static_cast<int>(std::count_if(processes.started.begin(), processes.started.end(),
                                              [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
    }

    // Runs the event inside the pause-th wait from now (0: the next one).
    void atPause(int pause, const std::function<void()>& event) {
        if (pause == 0) {
            loop.duringNextDelay(event);
        } else {
            loop.duringNextDelay([this, pause, event] { atPause(pause - 1, event); });
        }
    }

    // Started with an IPsec profile whose dial brings the link up with a new address.
    void startIpsecSession() {
        storeSettings(1, 0, 0, 0);
        form.Form_Load();
        processes.onRun = [this](const std::string& line) {
            if (line.rfind("rasdial ", 0) == 0) {
                ras.connect(12, "corvinaltexum");
                ip.add("10.10.10.4");
            }
        };
        window.messages.clear();
    }

    // 自动拨号 checked, as a click on its box would: its timer runs.
    void turnAutoDialOn() {
        window.setValue(Control::Check3, 1);
        form.Check3_Click();
    }

    int timesCalled(const std::string& call) const {
        return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call));
    }

    testing::FakeControlSurface window{testing::FakeControlSurface::CipherList::empty};
    testing::FakeFormHost host;
    testing::FakeRemoteAccess ras;
    testing::FakeProcesses processes;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\alice\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeAnsiCodec codec;
    testing::FakeEventLoop loop;
    testing::FakeRegistry registry;
    testing::FakeIpHelper ip;
    testing::FakeManagementService management;
    testing::FakeWindowsVersion version;
    testing::FakeFileOperations programFiles;
    testing::MemoryLog log;
    testing::FakeLogonTasks logonTasks;
    LocalOperations operations{processes, registry, files, programFiles, shell, version, logonTasks};
    Form1 form{window, host,
               Platform{ras, processes, shell, files, codec, loop, registry, ip, management, version,
                        programFiles, log.file, log.clock, operations}};
};

TEST_F(Form1Test, secondInstanceShowsTheMessageAndEndsBeforeAnythingElse) {
    host.otherInstance = true;
    form.Form_Load();
    EXPECT_EQ(window.messages, std::vector<std::string>{"该程序已经运行！"});
    EXPECT_EQ(host.calls, std::vector<std::string>{"endProgram"});
    EXPECT_TRUE(files.files.empty());
}

TEST_F(Form1Test, firstStartWithoutSettingsLoadsTheFallbacks) {
    form.Form_Load();
    EXPECT_EQ(window.messages, std::vector<std::string>{"配置文件不存在，恢复默认配置！"});
    EXPECT_EQ(host.calls, (std::vector<std::string>{"trayIconAdd", "trayIconShow 0 Velmora VPN\n未连接",
                                                    "trayIconShow 0 Velmora VPN\nPPTP 未连接", "centre"}));
    EXPECT_EQ(window.listItems(Control::comalg),
              (std::vector<std::string>{"ESP-DES", "ESP-3DES", "ESP-DES-MD5", "ESP-3DES-MD5", "ESP-DES-SHA",
                                        "ESP-3DES-SHA"}));
    EXPECT_EQ(window.text(Control::comalg), "ESP-DES-MD5");
    EXPECT_EQ(window.text(Control::txtpeer), "0.0.0.0");
    EXPECT_EQ(window.text(Control::txtlocal), "1.1.1.1");
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_FALSE(window.enabled(Control::menuOff));
    for (Control hidden : {Control::Check1, Control::Check2, Control::Check3, Control::Frame5, Control::Frame1}) {
        EXPECT_FALSE(window.visible(hidden));
    }
    EXPECT_EQ(window.text(Control::txtHD), "");
}

TEST_F(Form1Test, eachFrameHoldingAFieldFixedByPolicySaysSo) {
    registry.setString(kHkeyLocalMachine, kPolicyKey, "SERVER", "policy.example.com");
    registry.setString(kHkeyLocalMachine, kPolicyKey, "REMOTENET1", "10.8.0.0/255.255.0.0");
    registry.setString(kHkeyLocalMachine, kPolicyKey, "AUTODIAL", "0");
    registry.setString(kHkeyLocalMachine, kAdministratorProfileKey, "PSK", "ProfileKey1");
    form.Form_Load();
    EXPECT_EQ(window.text(Control::txtServerAddress), "policy.example.com");
    EXPECT_EQ(window.text(Control::txtpreshare), "ProfileKey1");
    EXPECT_EQ(window.text(Control::Frame5), "高级选项（部分设置由管理员设定）");
    EXPECT_EQ(window.text(Control::Frame1), "") << "its fields are the user's own";
    EXPECT_EQ(window.fixed, (std::set<Control>{Control::txtServerAddress, Control::txtpeer, Control::txtpeermask,
                                               Control::Check3}));
}

TEST_F(Form1Test, registrySwitchNotSetEndsTheProgramBeforeThePhonebooks) {
    registry.keys.clear();
    registry.key(kHkeyLocalMachine, kParameters);
    form.Form_Load();
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
    EXPECT_EQ(host.calls.back(), "endProgram");
    EXPECT_TRUE(files.files.empty());
}

// Start-up closes the user's settings to other users before it reads them, and reads none that
// another user owns.
TEST_F(Form1Test, startUpClosesTheSettingsOthersCanReachAndReadsNoneThatIsNotTheUsers) {
    storeSettings(1, 0, 0, 0);
    files.open = {kSettings};
    form.Form_Load();
    EXPECT_EQ(window.text(Control::txtUserName), "alice");
    EXPECT_TRUE(files.open.empty());
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(),
                        testing::kLogTime + "其他用户可以读取或更改配置文件，已改为只有本用户、管理员和系统可以访问：" +
                            kSettings),
              log.file.lines.end());
}

TEST_F(Form1Test, anotherUsersSettingsFileIsNotReadAndTheFallbacksServe) {
    storeSettings(1, 0, 0, 0);
    files.open = {kSettings};
    files.unwritable = {kSettings};
    form.Form_Load();
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"配置文件 " + std::string(kSettings) + " 可能被他人改动过，没有读取，恢复默认配置！"});
    EXPECT_EQ(window.text(Control::txtUserName), "");
    EXPECT_EQ(window.value(Control::Check1), kUnchecked);
}

// An earlier version kept one settings file for everyone at the drive's root, which only
// administrators could read: the first administrator to start this one gets it as their own.
TEST_F(Form1Test, theEarlierVersionsSettingsFileBecomesTheAdministratorsOwnAndGoes) {
    const std::string earlier = "C:\\l2tpipsec.ini";
    storeSettings(1, 0, 0, 0);
    files.files[earlier] = files.files[kSettings];
    files.files.erase(kSettings);
    programFiles.files = {earlier};
    form.Form_Load();
    EXPECT_EQ(window.text(Control::txtUserName), "alice");
    EXPECT_EQ(files.files[kSettings], files.files[earlier]);
    EXPECT_EQ(programFiles.removed, (std::vector<std::string>{earlier, "C:\\ipsec.pbk", "C:\\pptp.pbk"}));
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(),
                        testing::kLogTime + "早先版本的配置文件 C:\\l2tpipsec.ini 已移为本用户的配置文件 " + kSettings),
              log.file.lines.end());
}

// Notepad runs on its own; where it cannot be started, the user learns where the log is.
TEST_F(Form1Test, theTraysLogItemStartsNotepadOrSaysWhereTheLogIs) {
    form.Form_Load();
    window.messages.clear();
    const std::string logFile = "C:\\Users\\alice\\AppData\\Local\\Velmora\\velmora.log";
    form.mnuTrayLog_Click();
    EXPECT_EQ(processes.shown, std::vector<std::string>{"notepad \"" + logFile + "\""});
    EXPECT_EQ(processes.programs.back(), "C:\\WINDOWS\\system32\\notepad.exe");
    EXPECT_TRUE(window.messages.empty());
    processes.shownFails = true;
    form.mnuTrayLog_Click();
    EXPECT_EQ(window.messages, std::vector<std::string>{"无法打开日志。日志文件是 " + logFile + "。"});
}

// The check mark is read from the Run key at each opening, never from what the program last did.
TEST_F(Form1Test, theLogonItemShowsWhatTheRunKeyHoldsTogglesItAndTellsAFailure) {
    form.Form_Load();
    window.messages.clear();
    const std::string place = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Velmora VPN";
    const auto checkOnOpening = [this] {
        form.trayMenu_Opening();
        return window.value(Control::mnuTrayLogon);
    };
    EXPECT_EQ(checkOnOpening(), kUnchecked);
    form.mnuTrayLogon_Click();
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "登录时启动已开启（" + place + "）");
    EXPECT_EQ(checkOnOpening(), kChecked);
    ASSERT_TRUE(registry.deleteValue(kHkeyCurrentUser, kRunKey, kRunValueName));  // removed by hand meanwhile
    EXPECT_EQ(checkOnOpening(), kUnchecked);

    registry.key(kHkeyCurrentUser, kRunKey).writable = false;
    form.mnuTrayLogon_Click();
    EXPECT_EQ(window.messages, std::vector<std::string>{"无法开启登录时启动。"});
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "无法开启登录时启动（" + place + "）");
}

// A start after an upgrade on Vista or later: the task an earlier version made to start the
// program at logon goes, and the Run value takes its place.
TEST_F(Form1Test, theFirstStartMovesAnEarlierVersionsLogonTaskIntoTheRunKey) {
    version.record = {10, 0, "", 19045};
    logonTasks.tasks["\\Velmora VPN\\S-1-5-21-1-2-3-1001"] = "<Task/>";
    form.Form_Load();
    EXPECT_TRUE(logonTasks.tasks.empty());
    form.trayMenu_Opening();
    EXPECT_EQ(window.value(Control::mnuTrayLogon), kChecked);
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(),
                        testing::kLogTime + "早先版本的登录时启动计划任务已删除，改为 HKCU\\Software\\Microsoft\\Windows\\"
                                            "CurrentVersion\\Run\\Velmora VPN"),
              log.file.lines.end());
}

TEST_F(Form1Test, theWindowsVersionChoosesThePolicyTool) {
    version.record = {5, 0, "Service Pack 4", 2195};
    storeSettings(1, 0, 0, 0);
    form.Form_Load();
    form.Command1_Click();
    ASSERT_FALSE(processes.started.empty());
    EXPECT_EQ(processes.started.front().rfind("ipsecpol ", 0), 0u) << processes.started.front();
}

TEST_F(Form1Test, settingsWithIpsecOnWhileConnectedWarnAndHangUpDuringStartUp) {
    storeSettings(1, 0, 0, 0);
    ras.connect(31, "corvinaltexum");
    form.Form_Load();
    EXPECT_EQ(window.messages, std::vector<std::string>{"该操作将挂断当前连接！"});
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{31});
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(Form1Test, settingsWithTheDefaultGatewayOnDisableTheNetworkBoxes) {
    storeSettings(0, 1, 0, 0);
    form.Form_Load();
    EXPECT_FALSE(window.enabled(Control::txtpeer));
    EXPECT_FALSE(window.enabled(Control::txtpeermask));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(Form1Test, settingsWithAutoDialLeaveItsTimerRunning) {
    storeSettings(0, 0, 1, 0);
    form.Form_Load();
    EXPECT_TRUE(window.enabled(Control::Timer2));
}

TEST_F(Form1Test, settingsWithTheHardwareCodeFillItIn) {
    storeSettings(0, 0, 0, 1);
    form.Form_Load();
    EXPECT_EQ(window.text(Control::txtHD), "BFEB4D5E06A7");
    window.setValue(Control::checkHD, 0);
    form.checkHD_Click();
    EXPECT_EQ(window.text(Control::txtHD), "");
}

TEST_F(Form1Test, activationReadsTheLinkStartsTheWatchAndSetsTheHeight) {
    window.setEnabled(Control::Timer1, false);
    form.Form_Activate();
    EXPECT_TRUE(window.enabled(Control::Timer1));
    EXPECT_EQ(window.height(), 600 + 2055 + 750);
}

TEST_F(Form1Test, aServerTheDialCannotReachIsRefusedBeforeAnythingStartsAndItsFieldIsShown) {
    form.Form_Load();
    window.setText(Control::txtUserName, "alice");
    window.setText(Control::txtPasswd, "secret");
    window.setText(Control::txtpreshare, "sharedkey");
    window.setText(Control::txtServerAddress, "300.1.2.3");
    for (const int ipsec : {0, 1}) {
        window.setValue(Control::Check1, ipsec);
        form.Command1_Click();
    }
    EXPECT_EQ(std::count(window.messages.begin(), window.messages.end(), "隧道主机名或IP地址不是合法的IP地址或主机名！"), 2);
    EXPECT_TRUE(processes.started.empty());
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_EQ(files.files.count(kSettings), 0u);
    // The advanced frame opens as a click on 高级选项 opens it.
    EXPECT_EQ(window.value(Control::Check4), 1);
    EXPECT_TRUE(window.visible(Control::Frame5));
    EXPECT_EQ(window.height(), 6655);
    EXPECT_EQ(window.focus, Control::txtServerAddress);

    // Closed while the message is open: nothing more is opened.
    window.setValue(Control::Check1, 0);
    window.setValue(Control::Check4, 0);
    window.duringMessage = [this](const std::string&) { form.Form_Unload(); };
    form.Command1_Click();
    EXPECT_EQ(window.value(Control::Check4), 0);
}

TEST_F(Form1Test, minimisingHidesIntoTheTrayAndRestoringShowsAgain) {
    window.setWindowState(WindowState::minimised);
    form.Form_Resize();
    EXPECT_EQ(host.calls, std::vector<std::string>{"hide"});
    EXPECT_TRUE(window.enabled(Control::mnuTrayRestore));

    host.calls.clear();
    window.setWindowState(WindowState::normal);
    form.Form_Resize();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"show", "focus"}));
    EXPECT_FALSE(window.enabled(Control::mnuTrayRestore));

    window.setWindowState(WindowState::maximised);
    form.Form_Resize();
    EXPECT_EQ(form.lastState, WindowState::maximised);
}

TEST_F(Form1Test, doubleClickOnTheTrayIconReturnsToTheLastState) {
    form.lastState = WindowState::maximised;
    window.setWindowState(WindowState::minimised);
    form.trayIcon_DblClick();
    EXPECT_EQ(window.windowState(), WindowState::maximised);
    EXPECT_EQ(host.calls, std::vector<std::string>{"restore"});

    window.setWindowState(WindowState::normal);
    form.trayIcon_DblClick();
    EXPECT_EQ(window.windowState(), WindowState::normal);
    EXPECT_EQ(timesCalled("restore"), 2);
}

// The program started again from its shortcut: its window comes out of the tray, as the last state
// it had, in front; the new process ends with 0. An ending program does not take it.
TEST_F(Form1Test, aSecondStartBringsTheWindowOutOfTheTrayInFront) {
    form.lastState = WindowState::maximised;
    window.setWindowState(WindowState::minimised);
    EXPECT_EQ(form.scriptCommand(ScriptVerb::none), script_exit::done);
    EXPECT_EQ(window.windowState(), WindowState::maximised);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"restore", "front"}));
    EXPECT_TRUE(window.messages.empty());
    // A second start in the tray (at logon) leaves the window as it is.
    host.calls.clear();
    window.setWindowState(WindowState::minimised);
    EXPECT_EQ(form.scriptCommand(ScriptVerb::minimized), script_exit::done);
    EXPECT_EQ(window.windowState(), WindowState::minimised);
    EXPECT_TRUE(host.calls.empty());

    form.Form_Unload();
    EXPECT_EQ(form.scriptCommand(ScriptVerb::none), script_exit::notTaken);
    EXPECT_EQ(timesCalled("front"), 0);
}

TEST_F(Form1Test, trayItemsRunTheCommandsAndExitUnloads) {
    ras.connect(8, "corvinaltexum");
    window.setEnabled(Control::Command1, false);
    form.menuOff_Click();
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{8});
    EXPECT_TRUE(window.enabled(Control::Command1));

    ras.list.connections.clear();
    form.menuL2tp_Click();
    EXPECT_EQ(processes.waited.size(), 1u);
    form.mnuTrayRestore_Click();
    form.mnuTrayClose_Click();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"restore", "unload"}));
}

TEST_F(Form1Test, shutDownWithdrawsOnlyWhatThisRunAppliedAndHangsUp) {
    storeSettings(1, 0, 0, 0);
    form.Form_Load();
    ras.connect(12, "corvinaltexum");
    form.Form_QueryUnload(UnloadMode::sessionEnding);
    form.Form_Unload();
    EXPECT_TRUE(processes.started.empty()) << "nothing was applied, nothing is withdrawn";
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
    EXPECT_EQ(host.calls.back(), "trayIconRemove");
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "退出程序（Windows 会话结束）");
}

TEST_F(Form1Test, stopAndShutDownAfterTheFieldsWereEditedWithdrawWhatWasApplied) {
    startIpsecSession();
    form.Command1_Click();
    window.setText(Control::txtpreshare, "abc");  // refused by the field checks now
    window.setText(Control::txtpeer, "not an address");
    window.messages.clear();
    const auto withdrawnAsApplied = [this] {
        ASSERT_EQ(processes.started.size(), 2u);
        for (const std::string& line : processes.started) {
            EXPECT_NE(line.find("preshare:sharedkey -t"), std::string::npos) << line;
            EXPECT_EQ(line.find("not an address"), std::string::npos) << line;
            EXPECT_EQ(line.substr(line.size() - 3), " -y") << line;
        }
        processes.started.clear();
    };
    processes.started.clear();
    form.Command2_Click();  // Stop: the link stays
    withdrawnAsApplied();
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_TRUE(ras.hangUps.empty());
    form.Command1_Click();
    EXPECT_FALSE(window.messages.empty()) << "the edited fields are refused now";
    window.messages.clear();
    processes.started.clear();
    form.Form_Unload();  // nothing withdrawn again; the link is hung up
    EXPECT_TRUE(processes.started.empty());
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(host.calls.back(), "trayIconRemove");
}

// Windows ends the process as soon as the end of its session has been told: told in any wait of
// a close's clean-up (the withdrawal's two pauses, the wait until the link is gone), the shut-down
// is finished before the telling returns.
class Form1EndSessionInTheClose : public Form1Test, public ::testing::WithParamInterface<int> {};

TEST_P(Form1EndSessionInTheClose, returnsOnlyOnceAllIsDone) {
    startIpsecSession();
    form.Command1_Click();
    processes.started.clear();
    ras.lingerLooks = 1;
    bool returned = false;
    atPause(GetParam(), [this, &returned] {
        form.Form_EndSession();
        returned = true;
        const auto states = policyStates();
        EXPECT_GE(std::count(states.begin(), states.end(), " -y"), 2);
        EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
        EXPECT_TRUE(ras.list.connections.empty());
        EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "退出程序（关闭窗口）");
        EXPECT_EQ(timesCalled("trayIconRemove"), 1);
    });
    form.Form_QueryUnload(UnloadMode::windowClosed);
    form.Form_Unload();
    EXPECT_TRUE(returned);
    EXPECT_EQ(policyStates().back(), " -y");
    EXPECT_EQ(timesCalled("trayIconRemove"), 1);
    EXPECT_EQ(std::count(log.file.lines.begin(), log.file.lines.end(), testing::kLogTime + "退出程序（关闭窗口）"), 1);
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "退出程序（关闭窗口）")
        << "the withdrawal beneath was logged before";
}

INSTANTIATE_TEST_SUITE_P(EachWait, Form1EndSessionInTheClose, ::testing::Range(0, 3));

// Windows (Vista on) ends a program hidden in the tray within seconds of asking whether its session
// may end unless the program has told it why it holds the end up: told beforehand, for as long as
// something of ours may need taking back, and the host hears only of changes.
class Form1EndOfSessionHold;

struct HoldRow {
    const char* name;
    void (Form1EndOfSessionHold::*steps)();
};

class Form1EndOfSessionHold : public Form1Test, public ::testing::WithParamInterface<HoldRow> {
public:
    static std::vector<HoldRow> rows() {
        return {{"ipsecSessionStoppedAndTheLinkDropped", &Form1EndOfSessionHold::ipsecSessionStoppedAndTheLinkDropped},
                {"ipsecDialFailedThenStopped", &Form1EndOfSessionHold::ipsecDialFailedThenStopped},
                {"linkUpAtTheStartHeldThroughTheClose", &Form1EndOfSessionHold::linkUpAtTheStartHeldThroughTheClose},
                {"aWithdrawalThatFailsAtTheClose", &Form1EndOfSessionHold::aWithdrawalThatFailsAtTheClose}};
    }

protected:
    // The row's steps, then a close: the host hears of each change once, and nothing is held after.
    void run(const HoldRow& row) {
        (this->*row.steps)();
        form.Form_QueryUnload(UnloadMode::windowClosed);
        form.Form_Unload();
        EXPECT_EQ(host.holds, (std::vector<bool>{true, false}));
    }

    // Held from the apply's first line, before any dial; Stop's withdrawal leaves the link, which
    // still holds, until it drops.
    void ipsecSessionStoppedAndTheLinkDropped() {
        startIpsecSession();
        std::vector<bool> atPolicyLines;
        processes.statusOf = [this, &atPolicyLines](const std::string& line) {
            if (line.rfind("ipseccmd ", 0) == 0) {
                atPolicyLines.push_back(host.holding());
            }
            return std::optional<std::uint32_t>(0);
        };
        form.Command1_Click();
        form.Timer1_Timer();
        EXPECT_TRUE(host.holding());
        form.Command2_Click();
        EXPECT_TRUE(host.holding()) << "the link is still up";
        ras.list.connections.clear();
        form.Timer1_Timer();
        EXPECT_FALSE(host.holding());
        EXPECT_EQ(atPolicyLines, (std::vector<bool>{true, true, true, true}));
    }
    // A policy in force holds without a link, until Stop has withdrawn it.
    void ipsecDialFailedThenStopped() {
        startIpsecSession();
        processes.onRun = nullptr;  // the dial fails
        form.Command1_Click();
        EXPECT_TRUE(host.holding());
        form.Command2_Click();
        EXPECT_FALSE(host.holding());
    }
    // A link up before the start holds from the activation until the unload's hang-up is done.
    void linkUpAtTheStartHeldThroughTheClose() {
        ras.connect(12, "corvinaltexum");
        form.Form_Load();
        form.Form_Activate();
        EXPECT_TRUE(host.holding());
        ras.onHangUp = [this](RasHandle) { EXPECT_TRUE(host.holding()) << "let go before the hang-up"; };
    }
    // The policy may still be in force after the close's withdrawal failed (from Vista on the
    // tool's status is read): let go all the same once the unload is done.
    void aWithdrawalThatFailsAtTheClose() {
        version.record = {6, 1, "Service Pack 1", 7601};
        startIpsecSession();
        form.Command1_Click();
        EXPECT_TRUE(host.holding());
        processes.statusOf = [](const std::string& line) -> std::optional<std::uint32_t> {
            return line.size() > 3 && line.compare(line.size() - 3, 3, " -y") == 0 ? 1u : 0u;
        };
    }
};

TEST_P(Form1EndOfSessionHold, followsWhatMayNeedTakingBack) {
    run(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Sessions, Form1EndOfSessionHold, ::testing::ValuesIn(Form1EndOfSessionHold::rows()),
                         [](const ::testing::TestParamInfo<HoldRow>& row) { return std::string(row.param.name); });

TEST_F(Form1Test, anActivationDuringADialThatFailsLogsNoLinkThatWentDown) {
    startIpsecSession();
    processes.onRun = nullptr;  // the dial fails
    atPause(2, [this] {         // the dial's wait: the connection being made is listed
        ras.connect(12, "corvinaltexum");
        form.Form_Activate();
        ras.list.connections.clear();
    });
    form.Command1_Click();
    form.Timer1_Timer();
    for (const std::string& line : log.file.lines) {
        EXPECT_EQ(line.find("链路断开"), std::string::npos) << line;
    }
}

// The window closed inside the pause-th wait of Connect (two) or of the link watch's re-apply
// (four).
class Form1ClosedInConnect : public Form1Test, public ::testing::WithParamInterface<int> {};
class Form1ClosedInTheReapply : public Form1Test, public ::testing::WithParamInterface<int> {};

TEST_P(Form1ClosedInConnect, withdrawsThePolicyLastAndDialsNothing) {
    startIpsecSession();
    const int writes = files.writes;
    atPause(GetParam(), [this] { form.Form_Unload(); });
    form.Command1_Click();
    EXPECT_EQ(files.writes, writes);  // nothing saved after the close
    for (const auto& line : processes.started) {
        EXPECT_EQ(line.rfind("ipseccmd ", 0), 0u) << line;  // no ping
    }
    const auto states = policyStates();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), " -x");
    EXPECT_EQ(std::vector<std::string>(states.end() - 2, states.end()), (std::vector<std::string>{" -y", " -y"}));
    EXPECT_TRUE(processes.waited.empty());  // no dial
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(host.calls.back(), "trayIconRemove");
    EXPECT_FALSE(window.enabled(Control::Timer1));
    EXPECT_NE(window.windowState(), WindowState::minimised);
}

TEST_P(Form1ClosedInTheReapply, withdrawsLastHangsUpAndEndsEverything) {
    startIpsecSession();
    form.Command1_Click();
    ASSERT_FALSE(window.enabled(Control::Command1));
    processes.started.clear();
    ras.list.connections.clear();
    form.Timer1_Timer();  // the link is seen down ...
    ras.connect(12, "corvinaltexum");
    atPause(GetParam(), [this] { form.Form_Unload(); });
    form.Timer1_Timer();  // ... and up again: withdraw and apply anew
    const auto states = policyStates();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(states.end() - 2, states.end()), (std::vector<std::string>{" -y", " -y"}));
    EXPECT_EQ(startedWith("ping "), 0);
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});

    // The program has ended: nothing of it runs any more.
    const std::size_t started = processes.started.size();
    form.Timer1_Timer();
    form.Timer2_Timer();
    form.Command1_Click();
    form.menuOn_Click();
    form.Form_Activate();
    EXPECT_EQ(processes.started.size(), started);
    EXPECT_FALSE(window.enabled(Control::Timer1));
}

INSTANTIATE_TEST_SUITE_P(EachPause, Form1ClosedInConnect, ::testing::Range(0, 2));
INSTANTIATE_TEST_SUITE_P(EachPause, Form1ClosedInTheReapply, ::testing::Range(0, 4));

// A resume (or an address change) runs the link watch and the auto-dial at once, unless another
// event is under way: then it is dropped as a tick would be.
TEST_F(Form1Test, aResumeRedialsADroppedLinkAtOnceButNotInsideAnotherEvent) {
    startIpsecSession();
    turnAutoDialOn();
    loop.duringNextDelay([this] { form.systemResumed(); });
    form.Command1_Click();
    ASSERT_EQ(processes.waited.size(), 1u);
    form.Timer1_Timer();
    ras.list.connections.clear();
    form.systemResumed();
    EXPECT_EQ(processes.waited.size(), 2u);
    EXPECT_EQ(std::count(log.file.lines.begin(), log.file.lines.end(), testing::kLogTime + "系统从睡眠或休眠中恢复"), 2);
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(), testing::kLogTime + "链路断开：corvinaltexum"),
              log.file.lines.end());
    ras.list.connections.clear();
    form.addressesChanged();
    EXPECT_EQ(processes.waited.size(), 3u);
}

// A resume dropped inside another event is made up at the next tick: a listed link whose tunnel
// went with the sleep is hung up there, as the resume would have done.
TEST_F(Form1Test, aResumeDroppedInsideAnotherEventIsMadeUpAtTheNextTick) {
    startIpsecSession();
    turnAutoDialOn();
    loop.duringNextDelay([this] { form.systemResumed(); });
    form.Command1_Click();
    ASSERT_EQ(processes.waited.size(), 1u);
    ras.disconnected.insert(12);
    form.Timer1_Timer();
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(),
                        testing::kLogTime + "链路已列出但隧道不通，挂断后重拨：corvinaltexum"),
              log.file.lines.end());
    ras.hangUps.clear();
    form.Timer1_Timer();  // made up once
    EXPECT_TRUE(ras.hangUps.empty());
}

// A tunnel address missing at a resume is looked at again at the next tick, which hangs the link up.
TEST_F(Form1Test, aTunnelAddressMissingAtAResumeIsLookedAtAgainAtTheNextTick) {
    startIpsecSession();
    turnAutoDialOn();
    form.Command1_Click();
    form.Timer1_Timer();
    ras.addresses[12] = "10.10.10.4";
    ip.table.addresses.pop_back();
    form.systemResumed();
    EXPECT_TRUE(ras.hangUps.empty());
    form.Timer1_Timer();
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
}

// The auto-dial dials nothing while a box of the tray's own waits for its answer, since every click
// on the tray icon goes to the box and 停止 could not be reached; it dials at the tick after it.
TEST_F(Form1Test, theAutoDialWaitsForTheStatusBoxToBeAnswered) {
    startIpsecSession();
    turnAutoDialOn();
    form.Command1_Click();
    ras.list.connections.clear();
    window.duringMessage = [this](const std::string&) {
        form.Timer1_Timer();
        form.Timer2_Timer();
        form.addressesChanged();
    };
    form.mnuTrayStatus_Click();
    EXPECT_EQ(processes.waited.size(), 1u);
    window.duringMessage = nullptr;
    form.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 2u);
}

// A script's command opens no box, which nobody may be there to answer: the log has the message,
// and the exit code says what came of it.
TEST_F(Form1Test, aScriptsCommandTellsTheLogInsteadOfABox) {
    storeSettings(1, 0, 0, 0);
    form.Form_Load();
    window.messages.clear();
    window.setText(Control::txtServerAddress, "");
    EXPECT_EQ(form.scriptCommand(ScriptVerb::connect), script_exit::refused);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_NE(std::find_if(log.file.lines.begin(), log.file.lines.end(),
                           [](const std::string& line) { return line.find("命令行的请求：") != std::string::npos; }),
              log.file.lines.end());
    // A user's click inside the script's wait still has its box.
    window.setText(Control::txtServerAddress, "203.0.113.10");
    loop.duringNextDelay([this] { form.mnuTrayStatus_Click(); });
    form.scriptCommand(ScriptVerb::connect);
    EXPECT_EQ(window.messages.size(), 1u);
}

TEST_F(Form1Test, autoDialShowsOneMessageAndThenHoldsOff) {
    storeSettings(0, 0, 1, 0);
    form.Form_Load();
    window.setText(Control::txtPasswd, "");
    window.messages.clear();
    // Each tick that the open box lets through finds the program busy.
    window.duringMessage = [this](const std::string&) {
        for (int tick = 0; tick < 6; ++tick) {
            form.Timer2_Timer();
        }
    };
    form.Timer2_Timer();
    window.duringMessage = nullptr;
    for (int tick = 0; tick < 6; ++tick) {
        form.Timer2_Timer();
    }
    EXPECT_EQ(window.messages, std::vector<std::string>{"L2TP参数错误！"});
    EXPECT_TRUE(processes.waited.empty());

    window.setText(Control::txtPasswd, "secret");
    form.menuOn_Click();  // the user connects again: the auto-dial is back
    form.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 2u);
}

// Values no other text of a run holds, so that any form of them in the log stands out.
constexpr const char* kDistinctPasswd = "Pw7#qXzJ";
constexpr const char* kDistinctPreshare = "Kq9$Lm2&ey";
constexpr const char* kDistinctProcessorId = "HWQX00000000ZZ9K";
constexpr const char* kDistinctHardwareCode = "HWQX4D5EZZ9K";
constexpr const char* kDistinctHardwareCodeDialled = "hwqx4d5ezz9k";

TEST_F(Form1Test, theLogTellsTheStartAndTheEndButNoSecretInAnyForm) {
    management.ids = {kDistinctProcessorId};
    storeSettings(1, 0, 0, 1, kDistinctPreshare, kDistinctPasswd);
    files.unwritable = {kSettings, "C:\\Program Files\\Velmora\\ipsec.pbk"};
    form.Form_Load();
    form.Command1_Click();
    // The secrets were in play: the dial carried them.
    ASSERT_EQ(processes.waited.size(), 1u);
    ASSERT_NE(processes.waited[0].find(std::string(kDistinctHardwareCodeDialled) + kDistinctPasswd), std::string::npos)
        << processes.waited[0];
    form.Form_QueryUnload(UnloadMode::windowClosed);
    form.Form_Unload();

    const std::vector<std::string>& lines = log.file.lines;
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), testing::kLogTime + "程序启动：Velmora VPN " VELMORA_VERSION
                                                 "，Windows 5.1.2600 Service Pack 3，IPSec策略工具 ipseccmd");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), testing::kLogTime + "退出程序（关闭窗口）"), 1);
    const std::vector<std::string> secrets = {kDistinctPasswd, kDistinctPreshare, kDistinctHardwareCode,
                                              kDistinctHardwareCodeDialled,
                                              *secretToLine(kDistinctPasswd, codec),
                                              *secretToLine(kDistinctPreshare, codec)};
    for (const std::string& line : lines) {
        for (const std::string& secret : secrets) {
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
        }
    }
}

TEST_F(Form1Test, theLogTellsTheStoryOfAnIpsecSession) {
    startIpsecSession();
    window.setValue(Control::Check3, 1);  // auto-dial: no dial report
    form.Command1_Click();
    form.Timer1_Timer();  // first sight of the link: routes; the policy covers it already
    ras.list.connections.clear();
    ip.table.addresses.pop_back();
    form.Timer1_Timer();
    form.Timer2_Timer();  // the auto-dial brings it back
    form.Timer1_Timer();
    form.menuOff_Click();
    form.Form_QueryUnload(UnloadMode::byProgram);
    form.Form_Unload();

    const std::string dial =
        "开始拨号（%）：服务器 203.0.113.10，PPTP，条目 corvinaltexum，电话簿 C:\\Program Files\\Velmora\\pptp.pbk";
    const std::string dialed = "拨号结束：已连接，用时 0.0 秒，隧道地址 10.10.10.4";
    const std::string routes = "添加路由：route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1；"
                               "route add 200.200.0.0 mask 255.255.0.0 10.10.10.4 metric 1";
    const std::string applied = "IPSec策略 -x（应用）：ipseccmd，退出码 0、0";
    const std::string withdrawn = "IPSec策略 -y（撤销）：ipseccmd，退出码 0、0";
    std::vector<std::string> expected = {
        "请求连接（窗口按钮）", applied, dial, dialed, routes, "链路断开：corvinaltexum",
        "自动重拨：第 1 次", dial, dialed, withdrawn, applied, "链路恢复：corvinaltexum", routes,
        "请求停止（托盘菜单）", withdrawn, "挂断连接：条目 corvinaltexum，句柄 12", "退出程序（托盘菜单“退出”）",
    };
    for (std::string& line : expected) {
        if (const auto mark = line.find('%'); mark != std::string::npos) {
            line.replace(mark, 1, &line == &expected[7] ? "自动拨号" : "窗口按钮");
        }
        line = testing::kLogTime + line;
    }
    ASSERT_GE(log.file.lines.size(), 1u);
    EXPECT_EQ(std::vector<std::string>(log.file.lines.begin() + 1, log.file.lines.end()), expected);
}

TEST_F(Form1Test, aTrayItemActsOnlyWhileItIsUsable) {
    window.setEnabled(Control::menuOn, false);
    window.setEnabled(Control::mnuTrayRestore, false);
    window.setVisible(Control::menuL2tp, false);
    window.setEnabled(Control::menuOff, false);
    form.menuOn_Click();
    form.menuL2tp_Click();
    form.menuOff_Click();
    form.mnuTrayRestore_Click();
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(host.calls.empty());
}

constexpr const char* kNotConnected = "trayIconShow 0 Velmora VPN\nPPTP 未连接";
constexpr const char* kDialling = "trayIconShow 1 Velmora VPN\nPPTP 正在拨号…";
constexpr const char* kApplying = "trayIconShow 1 Velmora VPN\nPPTP 正在设置IPSec策略…";
constexpr const char* kConnected = "trayIconShow 2 Velmora VPN\nPPTP 已连接 10.10.10.4，0分";

TEST_F(Form1Test, theTrayIconFollowsADialAndTheLink) {
    storeSettings(0, 0, 0, 0);
    form.Form_Load();
    host.calls.clear();
    processes.onRun = [this](const std::string&) {
        // Shown before the dial blocks the window's thread.
        EXPECT_EQ(host.calls, std::vector<std::string>{kDialling});
        ras.connect(12, "corvinaltexum");
        ip.add("10.10.10.4");
    };
    form.Command1_Click();
    EXPECT_EQ(host.calls, (std::vector<std::string>{kDialling, kConnected}));

    form.Timer1_Timer();  // nothing new: nothing sent
    ras.list.connections.clear();
    form.Timer1_Timer();
    EXPECT_EQ(host.calls, (std::vector<std::string>{kDialling, kConnected, kNotConnected, "warning VPN连接已断开。"}));
}

// The tip's second line names the protocol of the window's profile, once the settings are read
// (never the fallbacks' meanwhile), the change showing at the next look of the watch.
TEST_F(Form1Test, theTrayTipNamesTheProtocolInUse) {
    storeSettings(1, 0, 0, 0, "sharedkey", "secret", kProtocolL2tp);
    form.Form_Load();
    for (const std::string& call : host.calls) {
        EXPECT_EQ(call.find("PPTP"), std::string::npos) << call;
    }
    EXPECT_EQ(window.text(Control::lblStatus), "L2TP/IPSec 未连接");
    window.setValue(Control::Option1, kProtocolPptp);
    form.Timer1_Timer();
    EXPECT_EQ(window.text(Control::lblStatus), "PPTP 未连接");
    window.setValue(Control::Option1, kProtocolL2tp);
    host.calls.clear();
    form.Timer1_Timer();
    EXPECT_EQ(host.calls, std::vector<std::string>{"trayIconShow 0 Velmora VPN\nL2TP/IPSec 未连接"});
    EXPECT_EQ(window.text(Control::lblStatus), "L2TP/IPSec 未连接");
}

// The tray icon and the status line under the banner (which says what the tip's second line says)
// follow each state of a session at the moment it changes.
TEST_F(Form1Test, theTrayIconAndTheStatusLineFollowThePolicyTheDialAndTheLink) {
    startIpsecSession();
    std::vector<std::string> seen{window.text(Control::lblStatus)};
    processes.onRun = [this, &seen](const std::string&) {
        seen.push_back(window.text(Control::lblStatus));
        ras.connect(12, "corvinaltexum");
        ip.add("10.10.10.4");
    };
    processes.statusOf = [this, &seen](const std::string&) {
        seen.push_back(window.text(Control::lblStatus));
        return std::optional<std::uint32_t>(0);
    };
    host.calls.clear();
    form.Command1_Click();
    seen.push_back(window.text(Control::lblStatus));
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"PPTP 未连接", "PPTP 正在设置IPSec策略…", "PPTP 正在拨号…",
                                              "PPTP 已连接 10.10.10.4，0分"}));
    ASSERT_GE(host.calls.size(), 4u);
    // The pair is done with the link still down before the dial.
    EXPECT_EQ(std::vector<std::string>(host.calls.begin(), host.calls.begin() + 4),
              (std::vector<std::string>{kApplying, kNotConnected, kDialling, kConnected}));
}

TEST_F(Form1Test, theTrayIconCountsFailedRedialsUntilTheUserDials) {
    storeSettings(0, 0, 1, 0);
    form.Form_Load();
    window.messages.clear();
    form.Timer2_Timer();  // auto-dial: the dial fails silently
    form.Timer2_Timer();
    EXPECT_EQ(host.calls.back(), "trayIconShow 0 Velmora VPN\nPPTP 自动拨号：2 次失败");
    EXPECT_TRUE(window.messages.empty());
    form.Command1_Click();  // the user's own attempt ends the count
    EXPECT_EQ(processes.waited.size(), 3u);
    EXPECT_EQ(host.calls.back(), kNotConnected);
}

// The service's count where it keeps one, else the program's own from when it first saw the link
// up; the shell hears of each new minute once. A link lost by Stop gives no balloon.
TEST_F(Form1Test, theTrayTipCountsTheTimeTheLinkHasBeenUpAndStopGivesNoBalloon) {
    storeSettings(0, 0, 0, 0);
    form.Form_Load();
    processes.onRun = [this](const std::string&) { ras.connect(12, "corvinaltexum"); };
    log.clock.ticks = 4294000000u;  // the count wraps around meanwhile
    form.Command1_Click();
    host.calls.clear();
    log.clock.ticks += 3900 * 1000;
    form.Timer1_Timer();
    form.Timer1_Timer();
    ras.statistics[12] = {true, 0, 0, 125 * 60 * 1000};
    form.Timer1_Timer();
    const std::string connected = "trayIconShow 2 Velmora VPN\nPPTP 已连接 10.10.10.4，";
    EXPECT_EQ(host.calls, (std::vector<std::string>{connected + "1小时05分", connected + "2小时05分"}));
    form.menuOff_Click();
    form.Timer1_Timer();
    EXPECT_EQ(host.calls.back(), kNotConnected);
}

// 连接状态 waits on nothing: under its box the watch goes on and a close ends the program, and the
// box (like 查看日志's) is no message of an auto-dial's attempt, which would hold the auto-dial off.
TEST_F(Form1Test, theStatusItemTellsTheLinkAndHoldsNothingUp) {
    startIpsecSession();
    window.setText(Control::txtServerAddress, "vpn.example.com");
    form.mnuTrayStatus_Click();
    form.Command1_Click();
    window.messages.pop_back();  // 拨号成功！
    ras.statistics[12] = {true, 1234, 56789, 3900000};
    form.mnuTrayStatus_Click();
    EXPECT_EQ(window.messages, (std::vector<std::string>{
                                   "VPN未连接。",
                                   "VPN已连接\n服务器：vpn.example.com\n隧道地址：10.10.10.4\n连接开始：2026-01-02 "
                                   "01:59:05\n连接时长：1小时05分\n已发送：1.2 KB\n已接收：55.4 KB\nIPSec策略：已生效"}));

    window.setValue(Control::Check3, 1);
    form.Check3_Click();
    ras.list.connections.clear();
    processes.onRun = nullptr;
    processes.shownFails = true;
    loop.duringNextDelay([this] {
        form.mnuTrayStatus_Click();
        form.mnuTrayLog_Click();
    });
    form.Timer2_Timer();  // the redial fails with the boxes opened during it
    form.Timer2_Timer();
    EXPECT_EQ(processes.waited.size(), 3u);

    ras.connect(12, "corvinaltexum");
    window.duringMessage = [this](const std::string&) {
        host.calls.clear();
        ras.list.connections.clear();
        form.Timer1_Timer();
        EXPECT_EQ(host.calls, (std::vector<std::string>{kNotConnected, "warning VPN连接已断开。"}));
        form.Form_QueryUnload(UnloadMode::windowClosed);
        form.Form_Unload();
    };
    form.mnuTrayStatus_Click();
    EXPECT_EQ(host.calls.back(), "trayIconRemove");
}

TEST_F(Form1Test, advancedOptionsGrowAndShrinkTheWindow) {
    window.setValue(Control::Check4, 1);
    form.Check4_Click();
    EXPECT_TRUE(window.visible(Control::Frame5));
    EXPECT_EQ(window.height(), 6655);
    window.setValue(Control::Check4, 0);
    form.Check4_Click();
    EXPECT_FALSE(window.visible(Control::Frame5));
    EXPECT_EQ(window.height(), 3405);
}

TEST_F(Form1Test, ipsecBoxSetsTheHeightAndTurningItOffStops) {
    window.setValue(Control::Check1, 1);
    form.Check1_Click();
    EXPECT_EQ(window.height(), 8635);
    EXPECT_FALSE(window.visible(Control::Check2));

    window.setValue(Control::Check2, 1);
    window.setValue(Control::Check1, 0);
    form.Check1_Click();
    EXPECT_EQ(window.height(), 6850);
    EXPECT_TRUE(window.visible(Control::Check2));
    EXPECT_FALSE(window.enabled(Control::txtpeer));
    EXPECT_FALSE(window.enabled(Control::Command3));
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// What a script's command does and answers, in each state of the session.
TEST_F(Form1Test, aScriptsCommandsRunAsTheTraysItemsAndAnswerHowTheLinkIs) {
    startIpsecSession();
    EXPECT_EQ(form.scriptCommand(ScriptVerb::status), script_exit::notConnected);
    EXPECT_EQ(form.scriptCommand(ScriptVerb::connect), script_exit::done);
    EXPECT_EQ(form.scriptCommand(ScriptVerb::status), script_exit::done);
    EXPECT_EQ(form.scriptCommand(ScriptVerb::connect), script_exit::done) << "a session up is left as it is";
    EXPECT_EQ(policyStates().back(), " -x");
    // Stop of an IPsec session withdraws the policy and leaves the link: not what was asked.
    EXPECT_EQ(form.scriptCommand(ScriptVerb::disconnect), script_exit::notAsAsked);
    EXPECT_EQ(policyStates().back(), " -y");
    ras.list.connections.clear();
    EXPECT_EQ(form.scriptCommand(ScriptVerb::disconnect), script_exit::done);
    EXPECT_TRUE(window.messages.empty()) << "a script's dial is told by its exit code, no box waits";
    EXPECT_NE(std::find(log.file.lines.begin(), log.file.lines.end(), testing::kLogTime + "请求连接（命令行）"),
              log.file.lines.end());
}

TEST_F(Form1Test, aScriptsConnectSaysWhetherTheFieldsOrTheDialFailed) {
    startIpsecSession();
    const std::string key = window.text(Control::txtpreshare);
    window.setText(Control::txtpreshare, "");
    EXPECT_EQ(form.scriptCommand(ScriptVerb::connect), script_exit::refused);
    window.setText(Control::txtpreshare, key);
    window.messages.clear();
    processes.onRun = nullptr;  // the dial fails
    EXPECT_EQ(form.scriptCommand(ScriptVerb::connect), script_exit::notAsAsked);
    EXPECT_TRUE(window.messages.empty());
}

// A script's Stop or exit during a script's dial: the dial is ended, and the dial's command answers
// that the link is not up, or that the program did not see it through.
class Form1ScriptDuringAScriptsDial : public Form1Test, public ::testing::WithParamInterface<ScriptVerb> {};

TEST_P(Form1ScriptDuringAScriptsDial, endsTheDialAndBothAnswer) {
    const ScriptVerb verb = GetParam();
    startIpsecSession();
    processes.holdDials = true;
    int answer = -1;
    atPause(2, [&] {  // the dial's wait, after the apply's two pauses
        answer = form.scriptCommand(verb);
        if (verb == ScriptVerb::exit) {
            form.Form_QueryUnload(UnloadMode::byProgram);
            form.Form_Unload();
        }
    });
    const int connected = form.scriptCommand(ScriptVerb::connect);
    EXPECT_EQ(answer, script_exit::done);
    EXPECT_EQ(connected, verb == ScriptVerb::exit ? script_exit::notTaken : script_exit::notAsAsked);
    EXPECT_EQ(processes.terminations, 1) << "the dial was ended";
    EXPECT_EQ(policyStates().back(), " -y");
}

INSTANTIATE_TEST_SUITE_P(StopOrExit, Form1ScriptDuringAScriptsDial,
                         ::testing::Values(ScriptVerb::disconnect, ScriptVerb::exit));

TEST_F(Form1Test, aScriptsExitUnloadsAndTheLogSaysWhoEndedIt) {
    startIpsecSession();
    EXPECT_EQ(form.scriptCommand(ScriptVerb::exit), script_exit::done);
    EXPECT_EQ(host.calls.back(), "unload");
    form.Form_QueryUnload(UnloadMode::byProgram);
    form.Form_Unload();
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "退出程序（命令行 /exit）");
    for (ScriptVerb verb : {ScriptVerb::status, ScriptVerb::connect, ScriptVerb::disconnect, ScriptVerb::exit}) {
        EXPECT_EQ(form.scriptCommand(verb), script_exit::notTaken) << static_cast<int>(verb);
    }
}

}  // namespace
}  // namespace velmora
