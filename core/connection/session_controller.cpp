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

void SessionController::Command1_Click() {
    const std::string name = entryName();
    if (window_.value(Control::Check1) != kUnchecked) {
        if (!checkdata(window_)) {
            return;
        }
        // Disabled before the first wait, so that no click or tick starts a second Connect.
        window_.setEnabled(Control::Command1, false);
        window_.setEnabled(Control::menuOn, false);
        window_.setEnabled(Control::Command3, false);
        window_.setEnabled(Control::menuL2tp, false);
        policy_.config_ipsec(kPolicyOn);
        window_.setEnabled(Control::Command2, true);
        window_.setEnabled(Control::menuOff, true);
        settings_.writeConfig();
        if (!link_.getL2tpState(name)) {
            dialer_.dialtol2tp(name);
        }
        startPing();
        window_.setWindowState(WindowState::minimised);
        window_.setEnabled(Control::Command3, true);
        window_.setEnabled(Control::menuL2tp, true);
        return;
    }

    if (trimBlanks(window_.text(Control::txtServerAddress)).empty() ||
        trimBlanks(window_.text(Control::txtUserName)).empty() || trimBlanks(window_.text(Control::txtPasswd)).empty()) {
        window_.showMessage("L2TP参数错误！");
        return;
    }
    settings_.writeConfig();
    if (link_.getL2tpState(name)) {
        return;
    }
    if (window_.value(Control::Check2) == kChecked) {
        dialer_.dialtol2tp_defaultgate(name);
    } else {
        dialer_.dialtol2tp(name);
    }
    if (link_.getL2tpState(name)) {
        setCommands(true);
        window_.setWindowState(WindowState::minimised);
    }
}

void SessionController::Command2_Click() {
    if (window_.value(Control::Check1) != kUnchecked) {
        if (!checkdata(window_)) {
            return;
        }
        window_.setEnabled(Control::Command2, false);
        window_.setEnabled(Control::menuOff, false);
        policy_.config_ipsec(kPolicyOff);
        window_.setEnabled(Control::Command1, true);
        window_.setEnabled(Control::menuOn, true);
        return;
    }
    if (link_.getL2tpState(entryName())) {
        remoteAccess_.hangUp(link_.hRasConn());
        setCommands(false);
    }
}

void SessionController::Command3_Click() {
    const std::string name = entryName();
    if (!link_.getL2tpState(name)) {
        dialer_.dialtol2tp(name);
    }
}

void SessionController::Timer1_Timer() {
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
        if (sessionActive()) {
            policy_.config_ipsec(kPolicyOff);
            policy_.config_ipsec(kPolicyOn);
            startPing();
        }
    }
}

void SessionController::Timer2_Timer() {
    if (window_.value(Control::Check3) != kChecked) {
        return;
    }
    if (!sessionActive()) {
        Command1_Click();
        return;
    }
    const std::string name = entryName();
    if (!link_.getL2tpState(name)) {
        dialer_.dialtol2tp(name);
    }
}

}  // namespace velmora
