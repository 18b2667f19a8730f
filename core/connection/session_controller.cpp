#include "core/connection/session_controller.h"

#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/text/text.h"

namespace velmora {

std::string SessionController::entryName() const {
    return trimBlanks(window_.text(Control::txtConnName));
}

bool SessionController::sessionActive() const {
    return !window_.enabled(Control::Command1);
}

bool SessionController::ipsecSessionGoesOn() const {
    return !ending_ && sessionActive() && window_.value(Control::Check1) != kUnchecked;
}

void SessionController::startPing() {
    processes_.startHidden("ping -n 8 " + trimBlanks(window_.text(Control::txtpeer)));
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

void SessionController::applyPolicy(const char* strActive) {
    const LinkStatus::Working applying(link_.status(), LinkStatus::Work::applyingPolicy);
    policy_.config_ipsec(strActive);
}

void SessionController::beginShutDown() {
    ending_ = true;
    policy_.refuseApplying();
}

void SessionController::Command1_Click() {
    autoDialHeld_ = false;
    link_.status().autoDialRunEnds();
    connect();
}

void SessionController::connect() {
    if (ending_) {
        return;
    }
    const std::string name = entryName();
    if (window_.value(Control::Check1) != kUnchecked) {
        connectIpsec(name);
    } else {
        connectPlain(name);
    }
}

void SessionController::connectIpsec(const std::string& name) {
    if (!checkdata(window_) || !checkDialFields(window_)) {
        return;
    }
    // Disabled before the first wait, so that no click or tick starts a second Connect.
    window_.setEnabled(Control::Command1, false);
    window_.setEnabled(Control::menuOn, false);
    window_.setEnabled(Control::Command3, false);
    window_.setEnabled(Control::menuL2tp, false);
    applyPolicy(kPolicyOn);
    // The program's end during the pauses has the last word.
    if (!ipsecSessionGoesOn()) {
        return;
    }
    window_.setEnabled(Control::Command2, true);
    window_.setEnabled(Control::menuOff, true);
    settings_.writeConfig();
    if (ending_) {
        return;
    }
    if (!link_.getL2tpState(name)) {
        dialer_.dialtol2tp(name);
        if (ending_) {
            return;
        }
    }
    startPing();
    window_.setWindowState(WindowState::minimised);
    window_.setEnabled(Control::Command3, true);
    window_.setEnabled(Control::menuL2tp, true);
}

void SessionController::connectPlain(const std::string& name) {
    if (trimBlanks(window_.text(Control::txtServerAddress)).empty() ||
        trimBlanks(window_.text(Control::txtUserName)).empty() || trimBlanks(window_.text(Control::txtPasswd)).empty()) {
        window_.showMessage("L2TP参数错误！");
        return;
    }
    if (!checkDialFields(window_)) {
        return;
    }
    settings_.writeConfig();
    if (ending_ || link_.getL2tpState(name)) {
        return;
    }
    if (window_.value(Control::Check2) == kChecked) {
        dialer_.dialtol2tp_defaultgate(name);
    } else {
        dialer_.dialtol2tp(name);
    }
    if (!ending_ && link_.getL2tpState(name)) {
        setCommands(true);
        window_.setWindowState(WindowState::minimised);
    }
}

void SessionController::Command2_Click() {
    if (ending_) {
        return;
    }
    if (window_.value(Control::Check1) != kUnchecked) {
        if (!checkdata(window_)) {
            return;
        }
        autoDialHeld_ = true;
        window_.setEnabled(Control::Command2, false);
        window_.setEnabled(Control::menuOff, false);
        applyPolicy(kPolicyOff);
        if (!ending_) {
            window_.setEnabled(Control::Command1, true);
            window_.setEnabled(Control::menuOn, true);
        }
        return;
    }
    autoDialHeld_ = true;
    if (link_.getL2tpState(entryName())) {
        remoteAccess_.hangUp(link_.hRasConn());
        setCommands(false);
    }
}

void SessionController::Command3_Click() {
    if (ending_) {
        return;
    }
    autoDialHeld_ = false;
    link_.status().autoDialRunEnds();
    const std::string name = entryName();
    if (!link_.getL2tpState(name)) {
        dialer_.dialtol2tp(name);
    }
}

void SessionController::Timer1_Timer() {
    if (ending_) {
        return;
    }
    const bool up = link_.getL2tpState(entryName());
    if (window_.value(Control::Check1) == kUnchecked) {
        if (!up) {
            setCommands(false);
        }
        return;
    }
    if (!up) {
        linkWasUp = false;
        if (sessionActive()) {
            window_.setVisible(Control::menuL2tp, true);
        }
        return;
    }
    window_.setVisible(Control::menuL2tp, false);
    if (sessionActive()) {
        dialer_.routeAdd();
    }
    if (!linkWasUp) {
        linkWasUp = true;
        // Withdrawn and applied anew for the link that came back; a Stop or the program's end
        // during the pauses ends the re-apply where it is.
        if (!ipsecSessionGoesOn()) {
            return;
        }
        applyPolicy(kPolicyOff);
        if (!ipsecSessionGoesOn()) {
            return;
        }
        applyPolicy(kPolicyOn);
        if (ipsecSessionGoesOn()) {
            startPing();
        }
    }
}

void SessionController::Timer2_Timer() {
    if (ending_ || autoDialHeld_ || window_.value(Control::Check3) != kChecked) {
        return;
    }
    const int messagesBefore = window_.messagesShown();
    const std::string name = entryName();
    if (!sessionActive()) {
        connect();
    } else if (!link_.getL2tpState(name)) {
        dialer_.dialtol2tp(name);
    } else {
        return;  // nothing to redial
    }
    if (ending_ || link_.getL2tpState(name)) {
        return;
    }
    link_.status().autoDialFailed();
    if (window_.messagesShown() != messagesBefore) {
        autoDialHeld_ = true;
    }
}

}  // namespace velmora
