// The VPN session: the commands Connect, Stop and L2TP dial, the link watch and the auto-dial.
// A session is active exactly while Connect (Command1) is disabled; nothing else records it.
// The commands wait (policy pauses, message boxes) while clicks, ticks or the program's end
// can run: each re-checks what it depends on before every further step.
#pragma once

#include <string>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/ipsec/ipsec_policy.h"
#include "core/profile/watched_surface.h"
#include "core/settings/settings_file.h"
#include "platform/processes.h"
#include "platform/remote_access.h"

namespace velmora {

class SessionController {
public:
    SessionController(WatchedSurface& window, LinkQuery& link, RemoteAccess& remoteAccess, Processes& processes,
                      Dialer& dialer, IpsecPolicy& policy, SettingsFile& settings)
        : window_(window), link_(link), remoteAccess_(remoteAccess), processes_(processes), dialer_(dialer),
          policy_(policy), settings_(settings) {}

    // The user's Connect (button or tray): with IPsec, validate, apply the policy, save, dial
    // when down, ping, minimise; without, check the three essentials, save, dial, and go active
    // only if the link came up. The auto-dial works again after it.
    void Command1_Click();
    // The user's Stop: with IPsec, withdraw the policy (the link stays); without, hang the link
    // up. The auto-dial then holds off until the user connects again.
    void Command2_Click();
    // The user's L2TP dial: dial when the entry is down; nothing else. The auto-dial works again
    // after it.
    void Command3_Click();
    // Link watch, every five seconds.
    void Timer1_Timer();
    // Auto-dial, every five seconds while auto-dial is checked. An attempt that left the link
    // down counts as a failed redial in the link's status; one that also told the user
    // something holds the auto-dial off until the user connects again, so that the same
    // message does not come back every five seconds.
    void Timer2_Timer();

    // The program is ending: from now on no command starts a dial, a ping or applies the
    // policy, and one that resumes after a wait stops at its next step.
    void beginShutDown();

    // The link watch has seen the link up since it last saw it down; the window's activation
    // sets it from the link's state.
    bool linkWasUp = false;

    // The auto-dial holds off until the user's next Connect or L2TP dial.
    bool autoDialHeld() const { return autoDialHeld_; }

private:
    std::string entryName() const;
    bool sessionActive() const;
    // An IPsec session that is still on and a program that is not ending.
    bool ipsecSessionGoesOn() const;
    void connect();
    void connectIpsec(const std::string& name);
    void connectPlain(const std::string& name);
    void startPing();
    void setCommands(bool active);
    // Applies or withdraws the policy, the link's status showing the change while it runs.
    void applyPolicy(const char* strActive);

    WatchedSurface& window_;
    LinkQuery& link_;
    RemoteAccess& remoteAccess_;
    Processes& processes_;
    Dialer& dialer_;
    IpsecPolicy& policy_;
    SettingsFile& settings_;
    bool ending_ = false;
    bool autoDialHeld_ = false;
};

}  // namespace velmora
