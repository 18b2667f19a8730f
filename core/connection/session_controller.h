// The VPN session: the commands Connect, Stop and L2TP dial, the link watch and the auto-dial.
// A session is active exactly while Connect (Command1) is disabled; nothing else records it.
#pragma once

#include <string>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/ipsec/ipsec_policy.h"
#include "core/profile/control_surface.h"
#include "core/settings/settings_file.h"
#include "platform/processes.h"
#include "platform/remote_access.h"

namespace velmora {

class SessionController {
public:
    SessionController(ControlSurface& window, LinkQuery& link, RemoteAccess& remoteAccess, Processes& processes,
                      Dialer& dialer, IpsecPolicy& policy, SettingsFile& settings)
        : window_(window), link_(link), remoteAccess_(remoteAccess), processes_(processes), dialer_(dialer),
          policy_(policy), settings_(settings) {}

    // Connect: with IPsec, validate, apply the policy, save, dial when down, ping, minimise;
    // without, check the three essentials, save, dial, and go active only if the link came up.
    void Command1_Click();
    // Stop: with IPsec, withdraw the policy (the link stays); without, hang the link up.
    void Command2_Click();
    // L2TP dial: dial when the entry is down; nothing else.
    void Command3_Click();
    // Link watch, every five seconds.
    void Timer1_Timer();
    // Auto-dial, every five seconds while auto-dial is checked.
    void Timer2_Timer();

    // The link watch has seen the link up since it last saw it down; the window's activation
    // sets it from the link's state.
    bool linkWasUp = false;

private:
    std::string entryName() const;
    bool sessionActive() const;
    void startPing();
    void setCommands(bool active);

    ControlSurface& window_;
    LinkQuery& link_;
    RemoteAccess& remoteAccess_;
    Processes& processes_;
    Dialer& dialer_;
    IpsecPolicy& policy_;
    SettingsFile& settings_;
};

}  // namespace velmora
