#include "ui/form1.h"

#include <set>

#include "core/connection/connection_list.h"
#include "core/ipsec/windows_version.h"
#include "core/profile/check_box.h"
#include "core/profile/conn_profile.h"
#include "core/system/hardware_code.h"
#include "core/system/tool_paths.h"
#include "core/text/text.h"
#include "ui/layout.h"
#include "ui/link_report.h"

namespace velmora {

namespace {

// After the caption of a frame that holds a field policy fixed.
constexpr const char* kFixedByAdministrator = "（部分设置由管理员设定）";

constexpr const char* kHangUpWarning = "该操作将挂断当前连接！";

int bottomOf(Control frame) {
    const TwipsRect r = designRect(frame);
    return r.top + r.height;
}

}  // namespace

Form1::Form1(ControlSurface& window, FormHost& host, const Platform& platform)
    : uncountedWindow_(window),
      window_(window),
      host_(host),
      platform_(platform),
      log_(platform.log, platform.clock),
      link_(platform.remoteAccess),
      settings_(window_, platform.shell, platform.files, platform.codec, log_),
      dialer_(window_, platform.operations, platform.loop, platform.ipHelper, link_, platform.remoteAccess, log_),
      policy_(window_, platform.operations, platform.loop, log_),
      session_(window_, link_, platform.remoteAccess, platform.ipHelper, platform.processes, platform.shell,
               platform.registry, dialer_, policy_, settings_, log_),
      logonStart_(platform.registry) {
    link_.status().setListener([this] { showLinkStatus(); });
    window_.onReveal([this](Control control) { reveal(control); });
    // Every box of the logic's is counted as open while it waits; one for a script's own command
    // goes to the log.
    window_.onMessage([this](const std::string& text, MessageSign sign) {
        if (!askers_.empty() && askers_.back() == Origin::script) {
            log_.messageForScript(text);
        } else {
            tell(text, sign);
        }
        return true;
    });
}

void Form1::tell(const std::string& text, MessageSign sign) {
    ++boxesOpen_;
    uncountedWindow_.showMessage(text, sign);
    --boxesOpen_;
}

void Form1::reveal(Control control) {
    // The advanced frame opens as the user would open it, box and window height included; a
    // window closed while the message was open is left as it is.
    if (!closing_ && layoutItem(control).container == Control::Frame5) {
        setCheckValue(window_, Control::Check4, kChecked, [this] { Check4_Click(); });
    }
}

void Form1::noteFixedSettings() {
    std::set<Control> noted;
    for (const std::string& setting : settings_.fixedByPolicy()) {
        for (Control control : controlsOfSetting(setting)) {
            const std::optional<Control> frame = layoutItem(control).container;
            if (frame && noted.insert(*frame).second) {
                window_.setText(*frame, std::string(layoutItem(*frame).caption) + kFixedByAdministrator);
            }
        }
    }
}

void Form1::showLinkStatus() {
    // Until the settings are read the fields hold their fallbacks, whose protocol may not be the
    // user's.
    const std::string protocol = profileRead_ ? protocolInUse(window_.value(Control::Check1) != kUnchecked,
                                                              window_.value(Control::Option1) == kProtocolL2tp)
                                              : std::string();
    const TrayState state =
        trayState(link_.status(), trimBlanks(window_.text(Control::txtlocal)), protocol,
                  upSeconds(platform_.remoteAccess.connectionStatistics(link_.hRasConn())));
    // The window's status line says what the tip's second line says.
    const std::string line = state.tip.substr(state.tip.find('\n') + 1);
    if (window_.text(Control::lblStatus) != line) {
        window_.setText(Control::lblStatus, line);
    }
    if (trayIconShown_ && state != trayShows_) {
        trayShows_ = state;
        host_.trayIconShow(state.image, state.tip);
    }
    const Balloon balloon = balloons_.next(link_.status(), asked_ > 0);
    if (trayIconShown_ && !closing_ && balloon.text != nullptr) {
        host_.trayBalloon(balloon.text, balloon.warning);
    }
    holdEndOfSession();
}

void Form1::holdEndOfSession() {
    // Windows (Vista on) ends a program hidden in the tray within seconds of asking whether the
    // session may end unless a reason is registered by then; the shut-down takes longer.
    const bool hold = !unloaded_ && (policy_.mayBeInForce() || link_.status().up() || link_.status().work().has_value());
    if (hold != holdingEndOfSession_) {
        holdingEndOfSession_ = hold;
        host_.holdEndOfSession(hold);
    }
}

std::optional<std::uint32_t> Form1::upSeconds(const ConnectionStatistics& statistics) {
    if (!link_.status().up()) {
        upSinceMs_.reset();
        return std::nullopt;
    }
    const std::uint32_t now = platform_.clock.milliseconds();
    if (!upSinceMs_) {
        upSinceMs_ = now;
    }
    return (statistics.known ? statistics.connectedMs : now - *upSinceMs_) / 1000;
}

std::string Form1::entryName() const {
    return trimBlanks(window_.text(Control::txtConnName));
}

void Form1::Form_Load() {
    const UnderWay busy(busy_);
    const UnderWay asked(asked_);
    const Asking asking(askers_, Origin::window);
    if (host_.anotherInstanceRunning()) {
        window_.showMessage("该程序已经运行！", MessageSign::information);
        host_.endProgram();
        return;
    }
    const WindowState state = window_.windowState();
    lastState = state == WindowState::minimised ? WindowState::normal : state;
    host_.trayIconAdd();
    trayIconShown_ = true;
    showLinkStatus();
    const VersionRecord version = platform_.version.version();
    const std::string windowsVersion = windowsVersionText(version);
    // Only XP's policy library ever changes its name: no other Windows needs to ask.
    if (windowsVersion == "5.1") {
        platform_.operations.nameIpsecLibrary();
    }
    const std::string tool = chooseIpsecTool(windowsVersion);
    policy_.setIpsecTool(tool);
    log_.programStarted(VELMORA_PROGRAM_VERSION, windowsVersion, version.build, version.servicePack, tool);
    for (const char* suite : kCipherSuites) {
        window_.addListItem(Control::comalg, suite);
    }
    if (getAllConn(platform_.remoteAccess, platform_.registry, platform_.operations, window_, log_) ==
        StartUp::endProgram) {
        host_.endProgram();
        return;
    }
    remindOfPendingRestart(platform_.registry, platform_.clock, window_, log_);
    window_.setEnabled(Control::Command2, false);
    window_.setEnabled(Control::menuOff, false);
    settings_.carryOverEarlierFile(platform_.operations, platform_.programFiles);
    if (logonStart_.moveEarlierTask(platform_.operations, version, platform_.programFiles.programPath())) {
        log_.earlierLogonTaskMoved(LogonStart::place());
    }
    settings_.readConfig({[this] { Check1_Click(); }, [this] { Check2_Click(); }, [this] { Check3_Click(); },
                          [this] { checkHD_Click(); }},
                         readAdministratorSettings(platform_.registry, kAdministratorProfileKey),
                         readAdministratorSettings(platform_.registry, kPolicyKey));
    noteFixedSettings();
    profileRead_ = true;
    showLinkStatus();
    host_.centreOnScreen();
    for (Control hidden : {Control::Check1, Control::Check2, Control::Check3, Control::Frame5, Control::Frame1}) {
        window_.setVisible(hidden, false);
    }
    window_.setText(Control::txtHD, window_.value(Control::checkHD) == kChecked
                                        ? getHDCode(platform_.management, platform_.ipHelper)
                                        : std::string());
}

void Form1::Form_Activate() {
    if (closing_) {
        return;
    }
    // The policy's busy flag needs no reset here: it is never left set once a call returns. A
    // connection being dialled is no link that was up.
    session_.linkWasUp = !dialer_.dialling() && link_.getL2tpState(entryName());
    window_.setEnabled(Control::Timer1, true);
    // The height that 高级选项 calls for as it stands, so that its frame is never cut off.
    Check4_Click();
}

void Form1::Form_Resize() {
    const WindowState state = window_.windowState();
    if (state == WindowState::minimised) {
        host_.showWindow(false);
        window_.setEnabled(Control::mnuTrayRestore, true);
    }
    if (state == WindowState::normal) {
        host_.showWindow(true);
        window_.setEnabled(Control::mnuTrayRestore, false);
    }
    if (state != WindowState::minimised) {
        lastState = state;
        host_.focus();
    }
}

void Form1::Form_QueryUnload(UnloadMode mode) {
    if (closing_) {
        return;
    }
    switch (mode) {
    case UnloadMode::windowClosed: endReason_ = EndReason::windowClosed; break;
    case UnloadMode::byProgram: endReason_ = exitByScript_ ? EndReason::scriptExit : EndReason::trayExit; break;
    case UnloadMode::sessionEnding: endReason_ = EndReason::sessionEnding; break;
    }
}

void Form1::Form_Unload() {
    if (closing_) {
        return;
    }
    closing_ = true;
    const UnderWay busy(busy_);
    window_.setEnabled(Control::Timer1, false);
    window_.setEnabled(Control::Timer2, false);
    // A command that resumes under this one finds the program ending and stops there; a dial
    // under way ends here, and the policy that was applied is withdrawn, whatever the fields say.
    session_.shutDown();
    finishUnload();
}

void Form1::Form_EndSession() {
    if (closing_ && !unloaded_) {
        session_.shutDown();
        finishUnload();
    }
}

void Form1::finishUnload() {
    if (!unloaded_) {
        unloaded_ = true;
        trayIconShown_ = false;
        host_.trayIconRemove();
        if (endReason_) {
            log_.programEnding(*endReason_);
        }
        holdEndOfSession();
    }
}

void Form1::sessionCommand(void (SessionController::*command)(Origin), Origin origin) {
    if (!closing_) {
        const UnderWay busy(busy_);
        const UnderWay asked(asked_);
        const Asking asking(askers_, origin);
        (session_.*command)(origin);
    }
}

void Form1::Command1_Click() {
    sessionCommand(&SessionController::Command1_Click, Origin::window);
}

void Form1::Command2_Click() {
    sessionCommand(&SessionController::Command2_Click, Origin::window);
}

void Form1::Command3_Click() {
    sessionCommand(&SessionController::Command3_Click, Origin::window);
}

void Form1::Timer1_Timer() {
    if (tickMayRun()) {
        const UnderWay busy(busy_);
        const Asking asking(askers_, Origin::autoDial);
        if (lookAgain_ || session_.wantsAnotherLook()) {
            lookAgain_ = false;
            session_.linkMayHaveChanged(!boxOpen());
        } else {
            session_.Timer1_Timer();
        }
    } else if (!closing_) {
        // The event under way may wait long: the status still shows whether the link is up.
        (void)link_.getL2tpState(entryName());
    }
    // The protocol chosen since shows at the latest here.
    showLinkStatus();
}

// A dial started under a box could not be stopped: every click on the tray icon goes to the box.
void Form1::Timer2_Timer() {
    if (tickMayRun() && !boxOpen()) {
        const UnderWay busy(busy_);
        const Asking asking(askers_, Origin::autoDial);
        session_.Timer2_Timer();
    }
}

void Form1::systemResumed() {
    if (!closing_) {
        log_.systemResumed();
    }
    linkMayHaveChanged();
}

void Form1::addressesChanged() {
    linkMayHaveChanged();
}

void Form1::linkMayHaveChanged() {
    if (tickMayRun()) {
        const UnderWay busy(busy_);
        const Asking asking(askers_, Origin::autoDial);
        lookAgain_ = false;
        session_.linkMayHaveChanged(!boxOpen());
    } else if (!closing_) {
        lookAgain_ = true;
    }
    showLinkStatus();
}

bool Form1::usable(Control item) const {
    return !closing_ && window_.enabled(item) && window_.visible(item);
}

void Form1::mnuTrayRestore_Click() {
    if (usable(Control::mnuTrayRestore)) {
        host_.sendRestore();
    }
}

void Form1::menuOn_Click() {
    if (usable(Control::menuOn)) {
        sessionCommand(&SessionController::Command1_Click, Origin::tray);
    }
}

void Form1::menuOff_Click() {
    if (usable(Control::menuOff)) {
        sessionCommand(&SessionController::Command2_Click, Origin::tray);
    }
}

void Form1::menuL2tp_Click() {
    if (usable(Control::menuL2tp)) {
        sessionCommand(&SessionController::Command3_Click, Origin::tray);
    }
}

void Form1::mnuTrayStatus_Click() {
    if (closing_) {
        return;
    }
    LinkReport report;
    report.up = link_.getL2tpState(entryName());
    report.server = trimBlanks(window_.text(Control::txtServerAddress));
    report.address = trimBlanks(window_.text(Control::txtlocal));
    report.statistics = platform_.remoteAccess.connectionStatistics(link_.hRasConn());
    report.upSeconds = upSeconds(report.statistics).value_or(0);
    report.since = platform_.clock.localTimeBefore(report.upSeconds);
    report.ipsec = window_.value(Control::Check1) != kUnchecked;
    report.policy = link_.status().policy();
    report.policyApplied = policy_.mayBeInForce();
    tell(linkReportText(report), MessageSign::information);
}

int Form1::linkStatusCode() {
    if (dialer_.dialling() || link_.status().work()) {
        return script_exit::dialling;
    }
    return link_.getL2tpState(entryName()) ? script_exit::done : script_exit::notConnected;
}

int Form1::scriptCommand(ScriptVerb verb) {
    if (closing_) {
        return script_exit::notTaken;
    }
    if (verb == ScriptVerb::none) {
        // The user started the program again (its shortcut): the window they look for, from the
        // tray or the taskbar, in front.
        trayIcon_DblClick();
        host_.bringToFront();
        return script_exit::done;
    }
    if (verb == ScriptVerb::minimized) {
        // A start at logon with the program already running: nothing to show or to do.
        return script_exit::done;
    }
    const Asking asking(askers_, Origin::script);
    switch (verb) {
    case ScriptVerb::status:
        return linkStatusCode();
    case ScriptVerb::connect: {
        if (!usable(Control::menuOn)) {
            // A session under way, or its policy being withdrawn: nothing new is started.
            if (dialer_.dialling() || session_.connecting()) {
                return script_exit::dialling;
            }
            return session_.connectedAsAsked() ? script_exit::done : script_exit::notAsAsked;
        }
        sessionCommand(&SessionController::Command1_Click, Origin::script);
        if (closing_) {
            return script_exit::notTaken;
        }
        if (session_.connectRefused()) {
            return script_exit::refused;
        }
        return session_.connectedAsAsked() ? script_exit::done : script_exit::notAsAsked;
    }
    case ScriptVerb::disconnect:
        if (usable(Control::menuOff)) {
            sessionCommand(&SessionController::Command2_Click, Origin::script);
        }
        return link_.getL2tpState(entryName()) ? script_exit::notAsAsked : script_exit::done;
    case ScriptVerb::exit:
        exitByScript_ = true;
        host_.unload();
        return script_exit::done;
    case ScriptVerb::none:
    case ScriptVerb::minimized:
    case ScriptVerb::unknown:
        break;
    }
    return script_exit::notTaken;
}

void Form1::mnuTrayLog_Click() {
    const std::string log = platform_.log.path();
    const std::string notepad = systemTool(platform_.shell, "notepad");
    if (closing_ || log.empty() || notepad.empty()) {
        return;
    }
    // Notepad lives on its own: nothing waits for it.
    if (!platform_.processes.start(notepad, "notepad \"" + log + "\"", Processes::Window::shown)) {
        tell("无法打开日志。日志文件是 " + log + "。", MessageSign::error);
    }
}

void Form1::trayMenu_Opening() {
    if (!closing_) {
        window_.setValue(Control::mnuTrayLogon,
                         logonStart_.isOn(platform_.programFiles.programPath()) ? kChecked : kUnchecked);
    }
}

void Form1::mnuTrayLogon_Click() {
    if (closing_) {
        return;
    }
    const std::string program = platform_.programFiles.programPath();
    const bool on = !logonStart_.isOn(program);
    const bool done = logonStart_.turn(on, program);
    log_.logonStartChanged(on, done, LogonStart::place());
    if (!done) {
        tell(on ? "无法开启登录时启动。" : "无法关闭登录时启动。", MessageSign::error);
    }
}

// Shared by the IPsec and default-gateway boxes: either change ends a running connection.
void Form1::hangUpStep() {
    if (!link_.getL2tpState(entryName())) {
        return;
    }
    window_.showMessage(kHangUpWarning, MessageSign::warning);
    std::vector<RasHandle> hungUp;
    dialer_.hangUpLink(entryName(), hungUp);
    if (closing_) {
        return;
    }
    window_.setEnabled(Control::Command2, false);
    window_.setEnabled(Control::menuOff, false);
    window_.setEnabled(Control::Command1, true);
    window_.setEnabled(Control::menuOn, true);
}

void Form1::Check1_Click() {
    if (closing_) {
        return;
    }
    const UnderWay busy(busy_);
    const UnderWay asked(asked_);
    const Asking asking(askers_, Origin::window);
    if (window_.value(Control::Check1) == kUnchecked) {
        window_.setEnabled(Control::Command3, false);
        window_.setEnabled(Control::menuL2tp, false);
        window_.setHeight(designRect(Control::Frame1).top + 370);
        window_.setVisible(Control::Check2, true);
        if (window_.value(Control::Check2) == kChecked) {
            window_.setEnabled(Control::txtpeer, false);
            window_.setEnabled(Control::txtpeermask, false);
        }
        session_.Command2_Click(Origin::window);
    } else {
        window_.setHeight(bottomOf(Control::Frame1) + 700);
        window_.setEnabled(Control::txtpeer, true);
        window_.setEnabled(Control::txtpeermask, true);
        window_.setVisible(Control::Check2, false);
    }
    hangUpStep();
}

void Form1::Check2_Click() {
    if (closing_) {
        return;
    }
    const UnderWay busy(busy_);
    const UnderWay asked(asked_);
    const Asking asking(askers_, Origin::window);
    hangUpStep();
    const bool on = window_.value(Control::Check2) == kChecked;
    window_.setEnabled(Control::txtpeer, !on);
    window_.setEnabled(Control::txtpeermask, !on);
}

void Form1::Check3_Click() {
    window_.setEnabled(Control::Timer2, window_.value(Control::Check3) == kChecked);
}

void Form1::Check4_Click() {
    const bool on = window_.value(Control::Check4) == kChecked;
    window_.setVisible(Control::Frame5, on);
    window_.setHeight(bottomOf(Control::Frame2) + (on ? 4000 : 750));
}

void Form1::checkHD_Click() {
    window_.setText(Control::txtHD, window_.value(Control::checkHD) == kChecked
                                        ? getHDCode(platform_.management, platform_.ipHelper)
                                        : std::string());
}

void Form1::trayIcon_DblClick() {
    if (closing_) {
        return;
    }
    if (window_.windowState() == WindowState::minimised) {
        window_.setWindowState(lastState);
    }
    host_.sendRestore();
}

}  // namespace velmora
