#include "core/connection/session_controller.h"

#include <array>
#include <utility>

#include "core/connection/dial_failure.h"
#include "core/connection/tunnel_check.h"
#include "core/ipsec/windows_version.h"
#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/system/tool_paths.h"
#include "core/system/under_way.h"
#include "core/text/text.h"

namespace velmora {

namespace {

constexpr const char* kPolicyNotSet = "IPSec策略没有设置成功，本次没有拨号。\n\n原因：";
constexpr const char* kPolicyNotWithdrawn =
    "IPSec策略没有撤销成功，本程序的IPSec策略 corvinaltexum 可能仍然指派在本计算机上，"
    "本机原先指派的IPSec策略也可能没有恢复。请检查本计算机的IPSec策略。\n\n原因：";
constexpr const char* kQuoteInKey =
    "预共享的密钥不能含有双引号（\"）：本机通过 netsh 设置IPSec策略，netsh 无法传递它。请改用不含双引号的密钥。";

// The controls a dial switches: whatever would dial or hang up off (Connect, L2TP dial, and the
// IPsec and default-gateway boxes, whose changes hang up), Stop on.
constexpr std::array<std::pair<Control, bool>, 8> kDuringDial = {{
    {Control::Command1, false},
    {Control::menuOn, false},
    {Control::Command3, false},
    {Control::menuL2tp, false},
    {Control::Check1, false},
    {Control::Check2, false},
    {Control::Command2, true},
    {Control::menuOff, true},
}};

}  // namespace

std::string SessionController::entryName() const {
    return trimBlanks(window_.text(Control::txtConnName));
}

bool SessionController::sessionActive() const {
    return !window_.enabled(Control::Command1);
}

bool SessionController::ipsecOn() const {
    return window_.value(Control::Check1) != kUnchecked;
}

bool SessionController::ipsecSessionGoesOn() const {
    return !ending_ && !withdrawing_ && sessionActive() && ipsecOn();
}

void SessionController::startPing() {
    (void)processes_.start(systemTool(shell_, "ping"), "ping -n 8 " + trimBlanks(window_.text(Control::txtpeer)),
                           Processes::Window::hidden);
}

// Idle: Connect on, Stop off; active: the other way round.
void SessionController::setCommands(bool active) {
    if (active) {
        window_.setEnabled(Control::Command1, false);
        window_.setEnabled(Control::menuOn, false);
        window_.setEnabled(Control::Command2, true);
        window_.setEnabled(Control::menuOff, true);
    } else {
        window_.setEnabled(Control::Command2, false);
        window_.setEnabled(Control::menuOff, false);
        window_.setEnabled(Control::Command1, true);
        window_.setEnabled(Control::menuOn, true);
    }
}

PolicyResult SessionController::applyPolicy(const char* strActive) {
    const LinkStatus::Working applying(link_.status(), LinkStatus::Work::applyingPolicy);
    return policy_.config_ipsec(strActive);
}

PolicyResult SessionController::applyForLink(const std::string& name) {
    const bool up = link_.getL2tpState(name);
    const std::string address = trimBlanks(window_.text(Control::txtlocal));
    const RasHandle connection = up ? link_.hRasConn() : 0;
    const PolicyResult result = applyPolicy(kPolicyOn);
    if (result.outcome != PolicyResult::superseded) {
        coverage_.applied(address, connection, result.outcome == PolicyResult::done);
    }
    return result;
}

void SessionController::withdrawPolicy() {
    const PolicyResult withdrawn = applyPolicy(kPolicyOff);
    if (withdrawn.outcome == PolicyResult::superseded) {
        return;
    }
    coverage_.withdrawn(withdrawn.outcome == PolicyResult::done);
    if (withdrawn.outcome == PolicyResult::failed && !ending_) {
        window_.showMessage(kPolicyNotWithdrawn + withdrawn.failure, MessageSign::error);
    }
}

bool SessionController::protectLink(const std::string& name) {
    if (!ipsecSessionGoesOn() || !link_.getL2tpState(name)) {
        return false;
    }
    const std::string address = coverage_.linkAddress();
    if (address.empty() || coverage_.coversLink(address) || !ipsecSessionGoesOn()) {
        return false;
    }
    coverage_.lookForDomainPolicy();
    if (!ipsecSessionGoesOn()) {
        return false;
    }
    const PolicyResult withdrawn = applyPolicy(kPolicyOff);
    if (withdrawn.outcome == PolicyResult::superseded || !ipsecSessionGoesOn()) {
        return false;
    }
    const PolicyResult applied = applyForLink(name);
    if (applied.outcome == PolicyResult::superseded || !ipsecSessionGoesOn()) {
        return false;
    }
    if (applied.outcome == PolicyResult::failed) {
        coverage_.tellReapplyFailed(applied.failure);
        return false;
    }
    return true;
}

DialOutcome SessionController::dial(const std::string& name, bool defaultGateway, Origin origin) {
    std::array<bool, kDuringDial.size()> before{};
    for (std::size_t i = 0; i < kDuringDial.size(); ++i) {
        before[i] = window_.enabled(kDuringDial[i].first);
        window_.setEnabled(kDuringDial[i].first, kDuringDial[i].second);
    }
    dialSessionActive_ = !before[0];
    const DialOutcome outcome =
        defaultGateway ? dialer_.dialtol2tp_defaultgate(name, origin) : dialer_.dialtol2tp(name, origin);
    // The dial saw the link up: if it goes before the watch's next look, the watch tells of it.
    if (outcome == DialOutcome::up) {
        linkWasUp = true;
    }
    if (!ending_) {
        // What a command run meanwhile switched (a Stop) stays as it left it.
        for (std::size_t i = 0; i < kDuringDial.size(); ++i) {
            if (window_.enabled(kDuringDial[i].first) == kDuringDial[i].second) {
                window_.setEnabled(kDuringDial[i].first, before[i]);
            }
        }
    }
    return outcome;
}

void SessionController::endSession(bool withdraw) {
    // Connect stays off until the policy is withdrawn: a click on it now would start a session
    // that the withdrawal then undoes. So does L2TP dial, whose dial would apply the policy anew.
    window_.setEnabled(Control::Command2, false);
    window_.setEnabled(Control::menuOff, false);
    if (withdraw) {
        const bool dialItemWasEnabled = window_.enabled(Control::Command3);
        const bool dialMenuWasEnabled = window_.enabled(Control::menuL2tp);
        window_.setEnabled(Control::Command3, false);
        window_.setEnabled(Control::menuL2tp, false);
        withdrawing_ = true;
        withdrawPolicy();
        withdrawing_ = false;
        if (ending_) {
            return;
        }
        window_.setEnabled(Control::Command3, dialItemWasEnabled);
        window_.setEnabled(Control::menuL2tp, dialMenuWasEnabled);
    }
    if (!ending_) {
        showWayBack(false);
        window_.setEnabled(Control::Command1, true);
        window_.setEnabled(Control::menuOn, true);
    }
}

void SessionController::showWayBack(bool shown) {
    window_.setVisible(Control::Command3, shown);
    window_.setVisible(Control::menuL2tp, shown);
}

// Each step can be run again by a shut-down that comes during this one's waits (the end of the
// Windows session during a close): it goes through what is left and returns only when all is done.
void SessionController::shutDown() {
    ending_ = true;
    policy_.refuseApplying();
    dialer_.refuseDialling();
    dialer_.cancel(CancelledBy::programEnd);
    if (ipsecOn() && policy_.mayBeInForce()) {
        withdrawing_ = true;
        withdrawPolicy();
    }
    dialer_.hangUpLink(entryName(), endHungUp_);
}

bool SessionController::connectedAsAsked() {
    if (!link_.getL2tpState(entryName())) {
        return false;
    }
    return !ipsecOn() ||
           (ipsecSessionGoesOn() && policy_.mayBeInForce() && coverage_.coversLink(coverage_.linkAddress()));
}

void SessionController::Command1_Click(Origin origin) {
    connect(origin);
}

void SessionController::connect(Origin origin) {
    connectRefused_ = false;
    if (ending_ || withdrawing_) {
        return;
    }
    log_.connectAsked(origin);
    const UnderWay connecting(connecting_);
    const std::string name = entryName();
    if (!fieldsPass()) {
        connectRefused_ = true;
        log_.connectRefused(window_.lastMessage());
        return;
    }
    // Once the fields pass, the user's own Connect lets the auto-dial try again.
    if (origin != Origin::autoDial) {
        autoDialHeld_ = false;
        link_.status().autoDialRunEnds();
    }
    if (ipsecOn()) {
        connectIpsec(name, origin);
    } else {
        connectPlain(name, origin);
    }
}

bool SessionController::fieldsPass() {
    if (!ipsecOn()) {
        if (trimBlanks(window_.text(Control::txtServerAddress)).empty() ||
            trimBlanks(window_.text(Control::txtUserName)).empty() ||
            trimBlanks(window_.text(Control::txtPasswd)).empty()) {
            window_.showMessage("L2TP参数错误！", MessageSign::warning);
            return false;
        }
        return checkDialFields(window_);
    }
    if (!checkdata(window_) || !checkDialFields(window_)) {
        return false;
    }
    // netsh takes no double quote inside a value; the old tools' command lines carry one.
    if (policy_.ipsecTool() == kPolicyToolName && window_.text(Control::txtpreshare).find('"') != std::string::npos) {
        window_.showMessage(std::string(kQuoteInKey) + kSetByAdministrator, MessageSign::warning);
        return false;
    }
    return true;
}

void SessionController::connectIpsec(const std::string& name, Origin origin) {
    coverage_.sessionBegins();
    const bool dialItemWasEnabled = window_.enabled(Control::Command3);
    const bool dialMenuWasEnabled = window_.enabled(Control::menuL2tp);
    // Disabled before the first wait, so that no click or tick starts a second Connect; Stop
    // can end the session from here on.
    window_.setEnabled(Control::Command1, false);
    window_.setEnabled(Control::menuOn, false);
    window_.setEnabled(Control::Command3, false);
    window_.setEnabled(Control::menuL2tp, false);
    window_.setEnabled(Control::Command2, true);
    window_.setEnabled(Control::menuOff, true);
    // A Stop before the dial leaves L2TP dial as the Connect found it.
    const auto stoppedBeforeTheDial = [&] {
        if (!ending_ && !sessionActive()) {
            window_.setEnabled(Control::Command3, dialItemWasEnabled);
            window_.setEnabled(Control::menuL2tp, dialMenuWasEnabled);
        }
    };
    coverage_.lookForDomainPolicy();
    if (!ipsecSessionGoesOn()) {
        stoppedBeforeTheDial();
        return;
    }
    // A link up already (dialled another way) has the policy applied for its own address, and
    // none for an address that may not be its own: the user has been told that it is unknown.
    if (link_.getL2tpState(name)) {
        const bool addressKnown = !coverage_.linkAddress().empty();
        if (!ipsecSessionGoesOn()) {
            return;
        }
        if (!addressKnown) {
            setCommands(false);
            window_.setEnabled(Control::Command3, dialItemWasEnabled);
            window_.setEnabled(Control::menuL2tp, dialMenuWasEnabled);
            return;
        }
    }
    const PolicyResult applied = applyForLink(name);
    // The program's end or a Stop during the runs has the last word.
    if (applied.outcome == PolicyResult::superseded || !ipsecSessionGoesOn()) {
        stoppedBeforeTheDial();
        return;
    }
    if (applied.outcome == PolicyResult::failed) {
        // Nothing half-applied stays behind, and nothing is dialled unprotected.
        const PolicyResult cleanedUp = applyPolicy(kPolicyOff);
        coverage_.withdrawn(cleanedUp.outcome != PolicyResult::failed);
        if (ending_) {
            return;
        }
        setCommands(false);
        window_.setEnabled(Control::Command3, dialItemWasEnabled);
        window_.setEnabled(Control::menuL2tp, dialMenuWasEnabled);
        std::string message = kPolicyNotSet + applied.failure;
        if (cleanedUp.outcome == PolicyResult::failed) {
            message += "\n\n" + std::string(kPolicyNotWithdrawn) + cleanedUp.failure;
        }
        window_.showMessage(message, MessageSign::error);
        return;
    }
    settings_.writeConfig();
    if (!ipsecSessionGoesOn()) {
        return;
    }
    bool dialledUp = false;
    if (!link_.getL2tpState(name)) {
        const DialOutcome outcome = dial(name, false, origin);
        connectRefused_ = outcome == DialOutcome::refused;
        if (outcome == DialOutcome::cancelled || !ipsecSessionGoesOn()) {
            return;
        }
        dialledUp = outcome == DialOutcome::up;
    }
    // The dial may have brought the link up with another address than the one applied.
    (void)protectLink(name);
    if (!ipsecSessionGoesOn()) {
        return;
    }
    startPing();
    if (dialledUp) {
        tellDialSucceeded(origin);
        if (!ipsecSessionGoesOn()) {
            return;
        }
    }
    window_.setWindowState(WindowState::minimised);
    window_.setEnabled(Control::Command3, true);
    window_.setEnabled(Control::menuL2tp, true);
}

void SessionController::connectPlain(const std::string& name, Origin origin) {
    settings_.writeConfig();
    if (ending_) {
        return;
    }
    plainLinkLost_ = false;
    if (link_.getL2tpState(name)) {
        // The entry's link is up already (it came back by itself): the session's, which Stop ends.
        setCommands(true);
        return;
    }
    const DialOutcome outcome = dial(name, window_.value(Control::Check2) == kChecked, origin);
    connectRefused_ = outcome == DialOutcome::refused;
    if (outcome != DialOutcome::cancelled && !ending_ && link_.getL2tpState(name)) {
        setCommands(true);
        window_.setWindowState(WindowState::minimised);
    }
}

void SessionController::Command2_Click(Origin origin) {
    if (ending_) {
        return;
    }
    log_.stopAsked(origin);
    autoDialHeld_ = true;
    if (dialer_.dialling()) {
        // The dial ends and its connections are gone before anything else happens; a session
        // it belonged to ends with it. No second Stop meanwhile.
        window_.setEnabled(Control::Command2, false);
        window_.setEnabled(Control::menuOff, false);
        dialer_.cancel(CancelledBy::stop);
        (void)link_.getL2tpState(entryName());
        endSession(ipsecOn() && dialSessionActive_);
        return;
    }
    if (ipsecOn()) {
        // What was applied is withdrawn, whatever the fields say now; the link stays.
        endSession(true);
        return;
    }
    if (link_.getL2tpState(entryName())) {
        window_.setEnabled(Control::Command2, false);
        window_.setEnabled(Control::menuOff, false);
        std::vector<RasHandle> hungUp;
        dialer_.hangUpLink(entryName(), hungUp);
        if (!ending_) {
            setCommands(false);
        }
    }
}

void SessionController::Command3_Click(Origin origin) {
    // What Stop withdraws stays withdrawn: a dial now would apply the policy anew over it.
    if (ending_ || withdrawing_) {
        return;
    }
    autoDialHeld_ = false;
    link_.status().autoDialRunEnds();
    const std::string name = entryName();
    if (!link_.getL2tpState(name)) {
        redial(name, origin);
    }
}

void SessionController::redial(const std::string& name, Origin origin) {
    const UnderWay connecting(connecting_);
    if (dial(name, false, origin) != DialOutcome::up) {
        return;
    }
    // The policy may cover the new link already (the same address as before): it is pinged all
    // the same, as every link that comes up is.
    (void)protectLink(name);
    if (ipsecSessionGoesOn() && link_.getL2tpState(name) && coverage_.coversLink(coverage_.linkAddress())) {
        startPing();
        tellDialSucceeded(origin);
    }
}

void SessionController::tellDialSucceeded(Origin origin) {
    if (window_.value(Control::Check3) == kUnchecked && origin != Origin::script) {
        window_.showMessage(kDialSucceeded, MessageSign::information);
    }
}

void SessionController::Timer1_Timer() {
    if (ending_) {
        return;
    }
    const std::string name = entryName();
    const bool up = link_.getL2tpState(name);
    if (!ipsecOn()) {
        if (!up && sessionActive()) {
            log_.linkDown(name);
            plainLinkLost_ = true;
            setCommands(false);
        } else if (up && plainLinkLost_ && !sessionActive() && !dialer_.dialling()) {
            // The session's link came back by itself: the session goes on, with its routes.
            log_.linkUpAgain(name);
            plainLinkLost_ = false;
            setCommands(true);
            dialer_.routeAdd();
        }
        return;
    }
    if (!up) {
        if (linkWasUp && sessionActive()) {
            log_.linkDown(name);
            linkSeenDown_ = true;
            dialer_.linkLost();
        }
        linkWasUp = false;
        if (sessionActive()) {
            coverage_.linkLost();
            showWayBack(true);
        }
        return;
    }
    if (linkSeenDown_ && sessionActive()) {
        log_.linkUpAgain(name);
    }
    linkSeenDown_ = false;
    showWayBack(false);
    if (sessionActive()) {
        dialer_.routeAdd();
    }
    linkWasUp = true;
    // Withdrawn and applied anew for a link that the policy does not cover: one that came back
    // and was not protected since, one up with another address or connection than the policy
    // was applied for (a redial the watch did not see), one whose apply failed; a Stop or the
    // program's end during the runs ends the re-apply where it is.
    if (protectLink(name)) {
        startPing();
    }
}

void SessionController::Timer2_Timer() {
    if (ending_ || withdrawing_ || autoDialHeld_ || window_.value(Control::Check3) != kChecked) {
        return;
    }
    const int messagesBefore = window_.messagesShown();
    const std::string name = entryName();
    if (!sessionActive()) {
        connect(Origin::autoDial);
    } else if (!link_.getL2tpState(name)) {
        log_.autoRedial(link_.status().autoDialFailures() + 1);
        redial(name, Origin::autoDial);
    } else {
        return;  // nothing to redial
    }
    // A Stop during the attempt holds the auto-dial and is no failure.
    if (ending_ || autoDialHeld_ || link_.getL2tpState(name)) {
        return;
    }
    link_.status().autoDialFailed();
    if (window_.messagesShown() != messagesBefore) {
        autoDialHeld_ = true;
    }
}

void SessionController::linkMayHaveChanged(bool mayRedial) {
    if (ending_ || withdrawing_) {
        return;
    }
    const std::string name = entryName();
    lookAgain_ = false;
    if (window_.value(Control::Check3) == kChecked && !autoDialHeld_ && sessionActive() &&
        link_.getL2tpState(name)) {
        const TunnelLook look = tunnelCheck_.look(remoteAccess_, ipHelper_, link_.hRasConn());
        lookAgain_ = look == TunnelLook::lookAgain;
        if (look == TunnelLook::dead) {
            log_.deadLinkHungUp(name);
            std::vector<RasHandle> hungUp;
            dialer_.hangUpLink(name, hungUp);
        }
    }
    // Each re-checks what a Stop or the program's end during the hang-up changed.
    Timer1_Timer();
    if (mayRedial) {
        Timer2_Timer();
    }
}

}  // namespace velmora
