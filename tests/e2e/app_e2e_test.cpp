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
#include "core/system/hardware_code.h"
#include "core/system/l2tp_switch.h"
#include "core/system/script_command.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_ip_helper.h"
#include "platform/win32/win32_management_service.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/tray_shell.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"
#include "ui/win32/resource_ids.h"

namespace velmora {
namespace {

using testing::TrayNotice;
using testing::WindowDriver;
using testing::countEndingWith;
using testing::countStartingWith;
using testing::dialProfile;
using testing::eventually;
using testing::has;
using testing::kTicks;
using testing::prohibitIpsec;
using testing::saveSettings;
using testing::setLink;
using testing::setProhibitIpsec;

// The policy lines' endings (" -x" applies, " -y" withdraws), in journal order.
std::vector<std::string> policyStates(const std::vector<std::string>& lines) {
    std::vector<std::string> states;
    for (const auto& line : lines) {
        const std::string end = line.size() > 3 ? line.substr(line.size() - 3) : std::string();
        if (end == " -x" || end == " -y") {
            states.push_back(end);
        }
    }
    return states;
}

class AppScenario : public testing::AppSession {
protected:
    // The journal's lines from the given one on.
    std::vector<std::string> journalFrom(std::size_t first) const {
        const auto lines = journal();
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())), lines.end()};
    }
    // Waits until count more policy lines than given have been journalled; the journal's length
    // then, or 0 when they never came.
    std::size_t awaitPolicyLines(int count, int before) const {
        std::size_t length = 0;
        const bool came = eventually(
            [&] {
                const auto lines = journal();
                length = lines.size();
                return static_cast<int>(policyStates(lines).size()) >= before + count;
            },
            kTicks);
        return came ? length : 0;
    }
    int policyLineCount() const { return static_cast<int>(policyStates(journal()).size()); }

    // Drops the link until the watch has seen it down, then brings it back.
    void dropAndReturnTheLink() {
        setLink(false);
        Sleep(8000);  // one tick of the watch, with Wine's slack
        setLink(true);
    }

    // Chooses a row of the tray menu (还原, 连接, 停止, 连接状态, 查看日志, 登录时启动, 退出 while 重新连接
    // is hidden).
    void chooseFromTray(const WindowDriver& window, int row) {
        HWND menu = window.openTrayMenu();
        ASSERT_NE(menu, nullptr);
        window.chooseMenuRow(menu, row);
    }
    // Chooses 退出, the tray menu's last row.
    void exitFromTray(const WindowDriver& window) {
        HWND menu = window.openTrayMenu();
        ASSERT_NE(menu, nullptr);
        window.chooseLastMenuRow(menu);
    }

    // After a close: the program ends by itself (no message box keeps it), and what was
    // journalled from the close on withdraws the policy last and starts no dial and no ping.
    void expectAnEndThatWithdrewLast(std::size_t closedAt, bool linkWasUp) {
        EXPECT_TRUE(app.waitForExit(kTicks)) << "the program did not end";
        const auto after = journalFrom(closedAt);
        EXPECT_EQ(countStartingWith(after, "rasdial "), 0);
        EXPECT_EQ(countStartingWith(after, "ping "), 0);
        EXPECT_EQ(countStartingWith(after, "route "), 0);
        EXPECT_EQ(countEndingWith(after, " -x"), 0);
        const auto policy = policyStates(journal());
        ASSERT_GE(policy.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(policy.end() - 2, policy.end()), (std::vector<std::string>{" -y", " -y"}));
        EXPECT_EQ(countStartingWith(after, "RasHangUpA "), linkWasUp ? 1 : 0);
        EXPECT_TRUE(sim::loadConnections().empty());
    }
};

constexpr const char* kRoute = "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1";

// The window that has the keyboard focus in the thread of the window given, if any.
HWND focusInTheThreadOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

HWND focusedControl(const WindowDriver& window) {
    return focusInTheThreadOf(window.window());
}

TEST_F(AppScenario, firstStartWithoutSettingsShowsTheFallbacksAndWritesNothing) {
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
    // Nothing is filled in yet: the keyboard starts in the user name.
    EXPECT_TRUE(eventually([&] { return focusedControl(window) == window.control(Control::txtUserName); }));
    // Each dial writes its own phonebook; only a Connect saves.
    EXPECT_FALSE(testing::fileExists(app.phonebook(L"ipsec.pbk")));
    EXPECT_FALSE(testing::fileExists(app.phonebook(L"pptp.pbk")));
    EXPECT_FALSE(testing::fileExists(testing::settingsPath()));
}

TEST_F(AppScenario, registrySwitchNotSetAsksForARestartAndEnds) {
    setProhibitIpsec(false);
    start({kRestartMessage});
    EXPECT_TRUE(app.waitForExit(20000));
    EXPECT_EQ(prohibitIpsec(), std::optional<DWORD>(1));
    EXPECT_FALSE(testing::fileExists(testing::settingsPath()));
}

// Started again from its shortcut while it sits in the tray: the running window comes back in
// front, and the second start ends at once, without a word.
TEST_F(AppScenario, aSecondStartBringsTheRunningWindowForward) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver first = start();
    PostMessageW(first.window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(first.window()) == FALSE; }, 20000));
    ASSERT_TRUE(app.start());
    EXPECT_TRUE(app.waitForExit(20000, 1));
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(app.process(1), &code));
    EXPECT_EQ(code, static_cast<DWORD>(script_exit::done));
    EXPECT_TRUE(app.running(0));
    EXPECT_TRUE(eventually(
        [&] { return IsWindowVisible(first.window()) != FALSE && !IsIconic(first.window()); }, 20000));
    EXPECT_TRUE(eventually([&] { return GetForegroundWindow() == first.window(); }, 20000));
}

TEST_F(AppScenario, plainPptpConnectDialsRoutesAndGoesToTheTray) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(journalled(pptpDial()));
    EXPECT_TRUE(journalled(kRoute));
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    EXPECT_FALSE(window.enabled(Control::Command1));
    EXPECT_TRUE(window.enabled(Control::Command2));
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    // Connect saved the profile before dialling: sixteen CR LF lines, PPTP, nothing switched on.
    const std::string saved = testing::readBytes(testing::settingsPath());
    EXPECT_EQ(saved.rfind("corvinaltexum\r\n10.0.0.0\r\n255.255.0.0\r\n10.10.10.4\r\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("\r\nESP-3DES-SHA\r\n203.0.113.10\r\nzhangwei\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nno\r\nno\r\nno\r\nno\r\nno\r\n0.0.0.0\r\n255.255.255.0\r\n"), std::string::npos)
        << saved;
}

// The hardware code's services load their libraries only when it is asked for.
TEST_F(AppScenario, hardwareCodeOnShowsTheCodeAtStartUp) {
    ConnProfile p = dialProfile();
    p.checkHD = kChecked;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    Win32ManagementService management;
    Win32IpHelper adapters;
    const std::string code = getHDCode(management, adapters);
    ASSERT_FALSE(code.empty());
    EXPECT_EQ(window.text(Control::txtHD), code);
}

TEST_F(AppScenario, plainConnectThatFailsSaysSoAndStaysIdle) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    sim::saveRasdialScenario({false, 0, "", 691});
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    // The fixed text, the service's description of rasdial's error, and what to check.
    EXPECT_TRUE(window.answerMessageBox("拨号失败！请检查PPTP参数重新拨号！\n\n"
                                        "错误 691：由于域上的用户名和/或密码无效，访问被拒绝。\n"
                                        "请检查VPN用户名和VPN密码。",
                                        kTicks));
    EXPECT_TRUE(has(journal(), pptpDial()));
    EXPECT_EQ(countStartingWith(journal(), "route "), 0);
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
    EXPECT_TRUE(IsWindowVisible(window.window()));
}

TEST_F(AppScenario, ipsecSessionAppliesPolicyDialsWatchesTheLinkAndStops) {
    WindowDriver window = connectIpsec();
    auto lines = journal();
    EXPECT_EQ(countEndingWith(lines, " -x"), 2);
    EXPECT_EQ(countStartingWith(lines, "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:" +
                                           app.phonebookArgument(L"ipsec.pbk")),
              1);
    EXPECT_EQ(countStartingWith(lines, "route "), 0);  // with IPsec the link watch adds the routes

    // The link watch adds the routes on every tick while the link is up.
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") >= 1; }, kTicks));
    // The first tick finds the link covered by what Connect applied: no pair of its own.
    Sleep(5000);
    const int withdrawn = countEndingWith(journal(), " -y");
    const int applied = countEndingWith(journal(), " -x");
    EXPECT_EQ(withdrawn, 0);
    EXPECT_EQ(applied, 2);

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

    chooseFromTray(window, 2);  // Stop
    EXPECT_TRUE(eventually([&] { return countEndingWith(journal(), " -y") == withdrawn + 4; }, kTicks));
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    EXPECT_FALSE(has(journal(), "RasHangUpA 41"));  // Stop leaves an IPsec link up
}

TEST_F(AppScenario, settingsWithIpsecOnWhileConnectedWarnAndHangUpAtStartUp) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    ASSERT_TRUE(saveSettings(p));
    setLink(true);
    WindowDriver window = start({"该操作将挂断当前连接！"});
    EXPECT_TRUE(journalled("RasHangUpA 41"));
    EXPECT_TRUE(sim::loadConnections().empty());
    EXPECT_TRUE(window.enabled(Control::Command1));
}

TEST_F(AppScenario, autoDialRedialsADroppedLink) {
    ConnProfile p = dialProfile();
    p.Check3 = kChecked;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = start();
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 1; }, kTicks));
    EXPECT_TRUE(eventually([&] { return IsIconic(window.window()) != FALSE; }, kTicks));  // up
    EXPECT_TRUE(window.messageBoxes().empty());  // auto-dial reports nothing
    setLink(false);
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 2; }, kTicks));
}

TEST_F(AppScenario, exitFromTheTrayWithdrawsThePolicyAndHangsUp) {
    WindowDriver window = connectIpsec();
    exitFromTray(window);
    EXPECT_TRUE(app.waitForExit(kTicks));
    const auto lines = journal();
    ASSERT_GE(lines.size(), 3u);
    // Shut-down withdraws the policy, then hangs the link up.
    EXPECT_EQ(countEndingWith({lines.end() - 3, lines.end() - 1}, " -y"), 2);
    EXPECT_EQ(lines.back(), "RasHangUpA 1");
}

// An option the program does not know, from a script that reads its output: the options go there,
// in the ANSI code page, and the program ends with 87 at once, no box waiting for a click.
TEST_F(AppScenario, anUnknownOptionPrintsTheOptionsToTheScriptAndEndsAtOnce) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inherit, 0));
    const UniqueHandle readEnd(reading);
    SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writing;
    startup.hStdError = writing;
    PROCESS_INFORMATION info{};
    std::wstring line = L"\"" + app.programFolder() + L"\\velmora.exe\" /bogus";
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info));
    CloseHandle(writing);
    CloseHandle(info.hThread);
    const UniqueHandle process(info.hProcess);
    // The text is far less than the pipe holds: it ends before anything is read.
    ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    std::string printed;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(reading, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        printed.append(chunk, got);
    }
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process.get(), &code));
    EXPECT_EQ(code, static_cast<DWORD>(script_exit::unknownArgument));
    const std::string text = Win32AnsiCodec().fromAnsi(printed).value_or("not ANSI text");
    EXPECT_EQ(text.rfind(scriptUsage("/bogus"), 0), 0u) << text;
}

// A script drives a plain session through the running program, whose window stays where it is;
// meanwhile the tray's 连接状态 tells the link.
TEST_F(AppScenario, scriptsConnectStopAndAskTheStatusOfTheRunningProgram) {
    EXPECT_EQ(app.runCommand(L"/status", kTicks), std::optional<DWORD>(script_exit::notRunning));
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    EXPECT_EQ(app.runCommand(L"-STATUS", kTicks), std::optional<DWORD>(script_exit::notConnected));
    EXPECT_EQ(window.text(Control::lblStatus), "PPTP 未连接");
    // No "拨号成功！" waits for an answer: the command ends once the link is up.
    EXPECT_EQ(app.runCommand(L"/connect", kTicks), std::optional<DWORD>(script_exit::done));
    EXPECT_TRUE(journalled(pptpDial()));
    EXPECT_TRUE(window.messageBoxes().empty());
    EXPECT_EQ(app.runCommand(L"/status", kTicks), std::optional<DWORD>(script_exit::done));
    EXPECT_EQ(window.text(Control::lblStatus), "PPTP 已连接 10.10.10.4，0分") << "the window's status line";
    // The tray's 连接状态 tells the link with the service's own counts.
    chooseFromTray(window, 3);
    const std::optional<testing::MessageBoxSeen> box = window.waitForMessageBox(kTicks);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text.rfind("VPN已连接\n服务器：203.0.113.10\n隧道地址：10.10.10.4\n连接开始：", 0), 0u) << box->text;
    EXPECT_NE(box->text.find("\n已接收："), std::string::npos) << box->text;
    EXPECT_EQ(box->text.find("未知"), std::string::npos) << box->text;
    EXPECT_NE(box->text.find("\nIPSec策略：不使用"), std::string::npos) << box->text;
    EXPECT_TRUE(window.answerMessageBox(box->text, kTicks));
    EXPECT_EQ(app.runCommand(L"/disconnect", kTicks), std::optional<DWORD>(script_exit::done));
    EXPECT_TRUE(has(journal(), "RasHangUpA 1"));
    EXPECT_EQ(app.runCommand(L"/status", kTicks), std::optional<DWORD>(script_exit::notConnected));
    EXPECT_TRUE(app.running(1)) << "the program the commands went to";
}

// A script's /connect with nothing running starts the program in the tray and connects; its /exit
// returns only after the program's shut-down has withdrawn the policy and hung up.
TEST_F(AppScenario, aScriptsConnectStartsTheProgramInTheTrayAndItsExitEndsItOnceThePolicyIsWithdrawn) {
    ASSERT_TRUE(saveSettings(testing::ipsecProfile()));
    ASSERT_TRUE(app.start({}, L"/Connect"));
    EXPECT_TRUE(journalled("ping -n 8 10.0.0.0"));
    auto window = WindowDriver::find(app.processId(0), kTicks);
    ASSERT_TRUE(window.has_value());
    EXPECT_TRUE(eventually([&] { return !window->enabled(Control::Command1); }, kTicks));
    EXPECT_FALSE(IsWindowVisible(window->window()));
    EXPECT_TRUE(window->messageBoxes().empty());
    EXPECT_EQ(app.runCommand(L"/status", kTicks), std::optional<DWORD>(script_exit::done));
    EXPECT_EQ(app.runCommand(L"/exit", kTicks), std::optional<DWORD>(script_exit::done));
    const auto lines = journal();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(countEndingWith({lines.end() - 3, lines.end() - 1}, " -y"), 2);
    EXPECT_EQ(lines.back(), "RasHangUpA 1");
    EXPECT_TRUE(app.waitForExit(kTicks));
}

// Closing the window while the policy tool's pause-th run of a command is under way, each run
// taking a second here.
class AppClosedInConnect : public AppScenario, public ::testing::WithParamInterface<int> {};
class AppClosedInTheReapply : public AppScenario, public ::testing::WithParamInterface<int> {};
class AppClosedInStop : public AppScenario, public ::testing::WithParamInterface<int> {};

TEST_P(AppClosedInConnect, withdrawsThePolicyLastAndDialsNothing) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    p.Option1 = kProtocolL2tp;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    sim::savePolicyToolSeconds(1);
    ASSERT_TRUE(window.clickLater(Control::Command1));
    const std::size_t closedAt = awaitPolicyLines(GetParam() + 1, 0);
    ASSERT_NE(closedAt, 0u);
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    expectAnEndThatWithdrewLast(closedAt, false);
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 0);
}

TEST_P(AppClosedInTheReapply, withdrawsThePolicyLastAndHangsUp) {
    WindowDriver window = connectIpsec();
    sim::savePolicyToolSeconds(1);
    const int before = policyLineCount();
    const std::size_t returning = journal().size();
    dropAndReturnTheLink();
    // The tick that finds the link back starts its routes before the re-apply's first line, but
    // the two programs journal side by side: the close comes once the routes are in too.
    ASSERT_TRUE(eventually([&] { return countStartingWith(journalFrom(returning), "route ") > 0; }, kTicks));
    const std::size_t closedAt = awaitPolicyLines(GetParam() + 1, before);
    ASSERT_NE(closedAt, 0u);
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    expectAnEndThatWithdrewLast(closedAt, true);
}

TEST_P(AppClosedInStop, withdrawsThePolicyLastAndHangsUp) {
    WindowDriver window = connectIpsec();
    sim::savePolicyToolSeconds(1);
    const int before = policyLineCount();
    chooseFromTray(window, 2);
    const std::size_t closedAt = awaitPolicyLines(GetParam() + 1, before);
    ASSERT_NE(closedAt, 0u);
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    expectAnEndThatWithdrewLast(closedAt, true);
}

INSTANTIATE_TEST_SUITE_P(EachRun, AppClosedInConnect, ::testing::Range(0, 2));
INSTANTIATE_TEST_SUITE_P(EachRun, AppClosedInTheReapply, ::testing::Range(0, 4));
INSTANTIATE_TEST_SUITE_P(EachRun, AppClosedInStop, ::testing::Range(0, 2));

TEST_F(AppScenario, theEndOfTheWindowsSessionShutsDownAsAClose) {
    WindowDriver window = connectIpsec();
    DWORD_PTR mayEnd = 0;
    ASSERT_TRUE(SendMessageTimeoutW(window.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000,
                                    &mayEnd));
    EXPECT_EQ(mayEnd, static_cast<DWORD_PTR>(TRUE));
    const std::size_t endedAt = journal().size();
    // Sent, as Windows sends it: the process may be ended as soon as it returns.
    ASSERT_TRUE(SendMessageTimeoutW(window.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, kTicks,
                                    nullptr));
    EXPECT_EQ(countStartingWith(journalFrom(endedAt), "RasHangUpA "), 1);
    expectAnEndThatWithdrewLast(endedAt, true);
}

TEST_F(AppScenario, theEndOfTheWindowsSessionDuringACloseReturnsOnlyOnceTheCleanUpIsDone) {
    WindowDriver window = connectIpsec();
    const int before = policyLineCount();
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    const std::size_t firstLine = awaitPolicyLines(1, before);  // the close's withdrawal has begun
    ASSERT_NE(firstLine, 0u);
    ASSERT_TRUE(SendMessageTimeoutW(window.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, kTicks,
                                    nullptr));
    // What Windows would find as it ends the process: the policy withdrawn, the link gone.
    const auto policy = policyStates(journal());
    const auto after = journalFrom(firstLine);
    const auto connections = sim::loadConnections();
    TerminateProcess(app.process(), 0);
    ASSERT_GE(policy.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(policy.end() - 2, policy.end()), (std::vector<std::string>{" -y", " -y"}));
    EXPECT_GE(countEndingWith(after, " -y"), 1) << "the withdrawal's second line ran before the return";
    EXPECT_EQ(countStartingWith(after, "RasHangUpA "), 1);
    EXPECT_TRUE(connections.empty());
}

TEST_F(AppScenario, stopDuringTheReapplyHasTheLastWord) {
    WindowDriver window = connectIpsec();
    sim::savePolicyToolSeconds(1);  // long enough a run for the Stop to come during it
    for (const int pause : {0, 2}) {  // in the withdrawal, and in the application that follows it
        const int before = policyLineCount();
        dropAndReturnTheLink();
        ASSERT_NE(awaitPolicyLines(pause + 1, before), 0u);
        chooseFromTray(window, 2);
        ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks)) << pause;
        const std::size_t stoppedAt = journal().size();
        Sleep(12000);  // two ticks of the watch: nothing applies the policy again
        const auto policy = policyStates(journal());
        ASSERT_GE(policy.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(policy.end() - 2, policy.end()), (std::vector<std::string>{" -y", " -y"}))
            << pause;
        EXPECT_EQ(countEndingWith(journalFrom(stoppedAt), " -x"), 0) << pause;
        EXPECT_EQ(countStartingWith(journalFrom(stoppedAt), "ping "), 0) << pause;
        // Connect again from the tray for the next round.
        chooseFromTray(window, 1);
        ASSERT_TRUE(eventually([&] { return !window.enabled(Control::Command1); }, kTicks));
        ASSERT_TRUE(eventually([&] { return countStartingWith(journalFrom(stoppedAt), "ping ") == 1; }, kTicks));
    }
}

TEST_F(AppScenario, autoDialWithABlankPasswordKeepsOneMessageAndDialsNothing) {
    ConnProfile p = dialProfile();
    p.Check3 = kChecked;
    p.txtPasswd = "";
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = start();
    const auto first = window.waitForMessageBox(kTicks);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->text, "L2TP参数错误！");
    for (int second = 0; second < 30; ++second) {
        Sleep(1000);
        EXPECT_EQ(window.messageBoxes().size(), 1u) << "after " << second << " s";
    }
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 0);
    ASSERT_TRUE(window.answerMessageBox("L2TP参数错误！"));
    Sleep(12000);  // the auto-dial holds off until the user connects again
    EXPECT_TRUE(window.messageBoxes().empty());
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 0);
}

TEST_F(AppScenario, stopHoldsWithAutoDialOn) {
    ConnProfile p = dialProfile();
    p.Check3 = kChecked;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = start();
    // Up: a connect that brought the link up minimises the window (during the dial Connect is
    // off already).
    ASSERT_TRUE(eventually([&] { return IsIconic(window.window()) != FALSE; }, kTicks));
    ASSERT_EQ(countStartingWith(journal(), "rasdial "), 1);
    chooseFromTray(window, 2);
    ASSERT_TRUE(journalled("RasHangUpA 1"));
    Sleep(20000);
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 1);
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_TRUE(window.messageBoxes().empty());
}

TEST_F(AppScenario, stopAndConnectFromTheTrayLeaveTheWindowThere) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    chooseFromTray(window, 2);
    ASSERT_TRUE(journalled("RasHangUpA 1"));
    ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    chooseFromTray(window, 1);
    ASSERT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    ASSERT_TRUE(eventually([&] { return !window.enabled(Control::Command1); }, kTicks));
    Sleep(3000);  // a window shown by mistake would stay shown
    EXPECT_FALSE(IsWindowVisible(window.window()));
    EXPECT_TRUE(IsIconic(window.window()));
}

// The stand-in notepad.exe in the system folder, where velmora.exe names Notepad, for the span
// of a scenario; Wine's own after it.
class NotepadStandIn {
public:
    NotepadStandIn() {
        CopyFileW(notepad().c_str(), saved_.file(L"notepad.exe").c_str(), FALSE);
        CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\notepad.exe").c_str(), notepad().c_str(), FALSE);
    }
    ~NotepadStandIn() { CopyFileW(saved_.file(L"notepad.exe").c_str(), notepad().c_str(), FALSE); }
    NotepadStandIn(const NotepadStandIn&) = delete;
    NotepadStandIn& operator=(const NotepadStandIn&) = delete;

private:
    // In the system folder as a 32-bit program sees it.
    static std::wstring notepad() {
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\notepad.exe";
    }

    testing::TempFolder saved_;
};

// A setting fixed by Group Policy, as the template's policy stores it; gone again at the end.
class PolicyValue {
public:
    PolicyValue(const wchar_t* name, const std::wstring& value) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    PolicyValue(const PolicyValue&) = delete;
    PolicyValue& operator=(const PolicyValue&) = delete;
    ~PolicyValue() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPolicyKeyPath); }

private:
    static constexpr const wchar_t* kPolicyKeyPath = L"SOFTWARE\\Policies\\Velmora\\VPN";
};

TEST_F(AppScenario, aServerFixedByPolicyIsShownReadOnlyAndDialledAndTheUsersOwnReturnsWithoutIt) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    {
        const PolicyValue server(L"SERVER", L"policy.example.com");
        WindowDriver window = startShown();
        EXPECT_EQ(window.text(Control::txtServerAddress), "policy.example.com");
        EXPECT_NE(GetWindowLongW(window.control(Control::txtServerAddress), GWL_STYLE) & ES_READONLY, 0);
        EXPECT_EQ(window.text(Control::Frame5), "高级选项（部分设置由管理员设定）");
        ASSERT_TRUE(window.clickLater(Control::Command1));
        EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
        EXPECT_TRUE(journalled("rasdial corvinaltexum zhangwei secret1 /PHONE:policy.example.com /PHONEBOOK:" +
                               app.phonebookArgument(L"pptp.pbk") + " "));
        // Connect saved the user's own server, not the policy's.
        EXPECT_NE(testing::readBytes(testing::settingsPath()).find("\r\n203.0.113.10\r\n"), std::string::npos);
        exitFromTray(window);
        ASSERT_TRUE(app.waitForExit(kTicks));
    }
    WindowDriver window = startShown();
    EXPECT_EQ(window.text(Control::txtServerAddress), "203.0.113.10");
    EXPECT_EQ(GetWindowLongW(window.control(Control::txtServerAddress), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_EQ(window.text(Control::Frame5), "高级选项");
}

TEST_F(AppScenario, aHeldLogKeepsNoConnectBackAndTheTrayOpensItInNotepadWhichEndsWithTheExit) {
    const NotepadStandIn notepad;
    const std::wstring log = testing::programLogPath();
    ASSERT_FALSE(log.empty());
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    {
        // Another program holds the log, sharing nothing: the Connect goes on as ever.
        const UniqueHandle held(CreateFileW(log.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        ASSERT_TRUE(window.clickLater(Control::Command1));
        EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
        EXPECT_TRUE(journalled(pptpDial()));
    }
    chooseFromTray(window, 4);  // 查看日志
    // The system folder's Notepad (the stand-in put there), started with the user's own rights.
    EXPECT_TRUE(journalled("notepad \"" + narrow(log) + "\""));
    exitFromTray(window);
    EXPECT_TRUE(app.waitForExit(kTicks));
    const std::wstring exitLine = L"退出程序（托盘菜单“退出”）\r\n";
    const std::string bytes = testing::readBytes(log);
    const std::size_t size = exitLine.size() * sizeof(wchar_t);
    ASSERT_GE(bytes.size(), size);
    EXPECT_EQ(bytes.substr(bytes.size() - size), std::string(reinterpret_cast<const char*>(exitLine.data()), size));
}

void expectTheFocusOnAUsableControl(const WindowDriver& window, const char* way) {
    HWND focused = nullptr;
    EXPECT_TRUE(eventually(
        [&] {
            focused = focusedControl(window);
            return focused != nullptr && IsChild(window.window(), focused);
        },
        kTicks))
        << way << ": the focus is " << focused << ", the window " << window.window();
    if (focused != nullptr) {
        EXPECT_TRUE(IsWindowEnabled(focused)) << way;
        EXPECT_TRUE(IsWindowVisible(focused)) << way;
    }
}

// Hiding the active window hands the activation to another top-level window, in that
// window's own thread (under Wine, the shell's tray window). A restore that came before that
// hand-over lands would lose the activation to it a moment later; a user's double-click never
// comes that fast, so the test waits for the hand-over.
void waitForTheActivationToMoveOn(const WindowDriver& window) {
    ASSERT_TRUE(eventually(
        [&] {
            HWND foreground = GetForegroundWindow();
            return foreground != nullptr && foreground != window.window() &&
                   focusInTheThreadOf(foreground) == foreground;
        },
        kTicks));
}

TEST_F(AppScenario, theFocusComesBackToAUsableControlFromTheTray) {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    p.Option1 = kProtocolL2tp;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    // Everything a dial needs is filled in: the keyboard starts on 连接.
    EXPECT_TRUE(eventually([&] { return focusedControl(window) == window.control(Control::Command1); }));
    ASSERT_TRUE(window.clickLater(Control::Command1));  // the focused button gets disabled
    ASSERT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    waitForTheActivationToMoveOn(window);

    window.trayMouse(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
    expectTheFocusOnAUsableControl(window, "double-click");

    PostMessageW(window.window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    waitForTheActivationToMoveOn(window);
    chooseFromTray(window, 0);  // 还原
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
    expectTheFocusOnAUsableControl(window, "还原");
}

TEST_F(AppScenario, aServerThatCannotBeReachedOpensTheAdvancedOptionsWhichStayInViewAfterTheTray) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    window.setText(Control::txtServerAddress, "300.1.2.3");
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(window.answerMessageBox("隧道主机名或IP地址不是合法的IP地址或主机名！", kTicks));
    EXPECT_TRUE(eventually([&] { return focusedControl(window) == window.control(Control::txtServerAddress); }));
    EXPECT_EQ(window.checked(Control::Check4), BST_CHECKED);
    RECT ticked{};
    GetWindowRect(window.window(), &ticked);
    window.setText(Control::txtServerAddress, "203.0.113.10");
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    waitForTheActivationToMoveOn(window);

    window.trayMouse(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.window(); }, kTicks));
    RECT restored{};
    GetWindowRect(window.window(), &restored);
    EXPECT_EQ(restored.bottom - restored.top, ticked.bottom - ticked.top);
    EXPECT_TRUE(window.visible(Control::Frame5));
    EXPECT_EQ(window.checked(Control::Check4), BST_CHECKED);
}

// The tray icon as the shell receives it, with velmora.exe started at the DPI given.
class AppTrayAtDpi : public AppScenario, public ::testing::WithParamInterface<int> {
protected:
    AppTrayAtDpi() { setDpi(GetParam()); }
    ~AppTrayAtDpi() override { setDpi(96); }

    // Wine reads the DPI from here as each program starts.
    static void setDpi(DWORD dpi) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
            RegCloseKey(key);
        }
    }

    // The bits of one of velmora.exe's tray images at the size the shell received.
    std::string imageBits(int id, const TrayNotice& notice) const {
        HMODULE exe = LoadLibraryExW((app.programFolder() + L"\\velmora.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE);
        HICON icon = static_cast<HICON>(
            LoadImageW(exe, MAKEINTRESOURCEW(id), IMAGE_ICON, notice.iconWidth, notice.iconHeight, 0));
        const std::string bits = testing::iconBitsOf(icon);
        DestroyIcon(icon);
        FreeLibrary(exe);
        return bits;
    }

    // Waits until the shell shows this tip with this image, and photographs it.
    void expectShown(const std::string& state, int image, const char* name) {
        // The scenario's profile dials PPTP, which the second line names first.
        const std::string tip = "Velmora VPN\nPPTP " + state;
        EXPECT_TRUE(eventually([&] { return shell.lastTip() && shell.lastTip()->tip == tip; }, kTicks))
            << "tip: " << (shell.lastTip() ? shell.lastTip()->tip : "none") << ", wanted " << tip;
        const auto icon = shell.lastIcon();
        ASSERT_TRUE(icon.has_value());
        EXPECT_EQ(icon->iconBits, imageBits(image, *icon)) << name;
        if (const char* artefacts = std::getenv("VELMORA_ARTEFACTS")) {
            InvalidateRect(shell.window(), nullptr, TRUE);
            EXPECT_TRUE(testing::screenshot(shell.window(), std::string(artefacts) + "/tray-" +
                                                                std::to_string(GetParam()) + "dpi-" + name + ".png"));
        }
    }

    testing::TrayShell shell;
};

TEST_P(AppTrayAtDpi, theIconAndTipFollowTheLink) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    sim::saveRasdialScenario({true, 3, "10.10.10.4"});
    WindowDriver window = startShown();
    expectShown("未连接", IDI_TRAY_IDLE, "not-connected");

    // Shown before the dial blocks the program's thread, and while it does.
    ASSERT_TRUE(window.clickLater(Control::Command1));
    expectShown("正在拨号…", IDI_TRAY_BUSY, "dialling");
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    expectShown("已连接 10.10.10.4，0分", IDI_TRAY_UP, "connected");

    // Explorer restarted: the icon comes back as it is now, not as it first was.
    const std::size_t before = shell.notices().size();
    DWORD_PTR unused = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &unused);
    ASSERT_TRUE(eventually([&] { return shell.notices().size() > before; }));
    const TrayNotice readded = shell.notices()[before];
    EXPECT_EQ(readded.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(readded.iconBits, imageBits(IDI_TRAY_UP, readded));
    expectShown("已连接 10.10.10.4，0分", IDI_TRAY_UP, "after-taskbar-restart");

    setLink(false);
    expectShown("未连接", IDI_TRAY_IDLE, "dropped");
    // Lost without the user asking: told in a balloon, once.
    EXPECT_TRUE(eventually([&] { return shell.lastBalloon().has_value(); }, kTicks));
    EXPECT_EQ(shell.lastBalloon().value_or(TrayNotice{}).balloon, "VPN连接已断开。");
    const auto notices = shell.notices();
    EXPECT_EQ(std::count_if(notices.begin(), notices.end(), [](const TrayNotice& n) { return n.flags & NIF_INFO; }), 1);
}

INSTANTIATE_TEST_SUITE_P(EachDpi, AppTrayAtDpi, ::testing::Values(96, 120));

}  // namespace
}  // namespace velmora
