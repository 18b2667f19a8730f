// The VPN session: the commands Connect, Stop and L2TP dial, the link watch and the auto-dial.
// A session is active exactly while Connect (Command1) is disabled; nothing else records it.
// The commands wait (policy runs and pauses, a dial, message boxes) while clicks, ticks or the
// program's end can run: each re-checks what it depends on before every further step.
#pragma once

#include <string>
#include <vector>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/connection/policy_coverage.h"
#include "core/connection/tunnel_check.h"
#include "core/ipsec/ipsec_policy.h"
#include "core/log/connection_log.h"
#include "core/profile/watched_surface.h"
#include "core/settings/settings_file.h"
#include "platform/ip_helper.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/remote_access.h"
#include "platform/shell_folders.h"

namespace velmora {

class SessionController {
public:
    SessionController(WatchedSurface& window, LinkQuery& link, RemoteAccess& remoteAccess, IpHelper& ipHelper,
                      Processes& processes, ShellFolders& shell, Registry& registry, Dialer& dialer,
                      IpsecPolicy& policy, SettingsFile& settings, ConnectionLog& log)
        : window_(window), link_(link), remoteAccess_(remoteAccess), ipHelper_(ipHelper), processes_(processes),
          shell_(shell), registry_(registry), dialer_(dialer), policy_(policy), settings_(settings), log_(log) {}

    // The user's Connect (button or tray): with IPsec, validate, apply the policy (a failure
    // tells the user why, withdraws it again and dials nothing), save, dial when down, make sure
    // the policy covers the link that came up, ping, minimise; without, check the three
    // essentials, save, dial, and go active only if the link came up. Once the fields pass, the
    // auto-dial works again. The log has who asked, and a refusal with the check's message.
    void Command1_Click(Origin origin);
    // The user's Stop: during a dial, end it, hang up its connections and wait until they are
    // gone, then with IPsec withdraw the policy; otherwise with IPsec withdraw the policy (the link
    // stays), without hang the link up. The policy withdrawn is always what was applied, whatever
    // the fields hold now; a withdrawal that failed is told. While it withdraws, no command dials
    // or applies. The
    // auto-dial then holds off until the user connects again.
    void Command2_Click(Origin origin);
    // The user's L2TP dial: dial when the entry is down, then make sure the policy covers the
    // link. The auto-dial works again after it. Refused while Stop or the program's end
    // withdraws the policy (the button and its tray item are off for that span).
    void Command3_Click(Origin origin);
    // Link watch, every five seconds. The log has a session's link going down and coming back.
    void Timer1_Timer();
    // Auto-dial, every five seconds while auto-dial is checked. An attempt that left the link
    // down counts as a failed redial in the link's status; one that also told the user
    // something holds the auto-dial off until the user connects again, so that the same
    // message does not come back every five seconds.
    void Timer2_Timer();
    // The computer woke from sleep or its addresses changed: the link watch looks now instead of
    // at its next tick, and with auto-dial on the auto-dial redials now. With auto-dial on, a
    // session's link that the service still lists but whose tunnel is gone is hung up first (and
    // the log says so), so that it is dialled again; a tunnel's address missing from the host
    // counts as gone only when two looks in a row miss it (the second at the link watch's next
    // tick at the latest). The redial waits for the auto-dial's next tick unless mayRedial.
    void linkMayHaveChanged(bool mayRedial);
    // The last of those looks missed the tunnel's address once: the next tick looks again.
    bool wantsAnotherLook() const { return lookAgain_; }

    // The program is ending (its window closed, the Windows session ending): from now on no
    // command starts a dial, a ping or applies the policy, and one that resumes after a wait
    // stops at its next step. A dial under way is ended and its connections hung up; with IPsec
    // a policy this run applied is withdrawn; a link that is up is hung up; each hung-up
    // connection is waited for until it is gone. Called again during its own waits, it finishes
    // what is left before it returns.
    void shutDown();

    // The link watch has seen the link up since it last saw it down; the window's activation
    // sets it from the link's state.
    bool linkWasUp = false;

    // The auto-dial holds off until the user's next Connect or L2TP dial.
    bool autoDialHeld() const { return autoDialHeld_; }
    // The last Connect was refused by a check of the fields.
    bool connectRefused() const { return connectRefused_; }
    // A Connect, an L2TP dial or a redial is under way (preparing, dialling, or protecting the link).
    bool connecting() const { return connecting_ > 0; }
    // The session is connected as a Connect asks: the link is up and, with IPsec, the session goes
    // on with its policy applied.
    bool connectedAsAsked();

private:
    std::string entryName() const;
    bool sessionActive() const;
    bool ipsecOn() const;
    // An IPsec session that is still on, no withdrawal under way and a program that is not ending.
    bool ipsecSessionGoesOn() const;
    void connect(Origin origin);
    // The checks of the fields the session kind needs; a failure has told the user which.
    bool fieldsPass();
    void connectIpsec(const std::string& name, Origin origin);
    void connectPlain(const std::string& name, Origin origin);
    // Runs the dial with Connect and L2TP dial disabled and Stop enabled, which is what a dial
    // may be ended with; afterwards each is as it was, unless the dial was cancelled.
    DialOutcome dial(const std::string& name, bool defaultGateway, Origin origin);
    // Stop's end of a session: Stop off, the policy withdrawn when asked, then Connect on.
    void endSession(bool withdraw);
    // 重新连接, in the window and the tray, the way back to an IPsec session's link that is down.
    void showWayBack(bool shown);
    void startPing();
    // Dials the link that is down in a session (L2TP dial, the auto-dial); once it is up and the
    // policy covers it, pings the far end.
    void redial(const std::string& name, Origin origin);
    // An IPsec dial's success, told once the policy covers the link, so that no OK the user has
    // still to give keeps the link unprotected; unless auto-dial is on or a script asked. The routes
    // come with the link watch, as for every IPsec link.
    void tellDialSucceeded(Origin origin);
    void setCommands(bool active);
    // Applies or withdraws the policy, the link's status showing the change while it runs.
    PolicyResult applyPolicy(const char* strActive);
    // Applies the policy for the address in txtlocal and the link as it is now, and records it.
    PolicyResult applyForLink(const std::string& name);
    // Withdraws the policy and records the outcome; a failure is told, unless the program is
    // ending, with what may be left assigned.
    void withdrawPolicy();
    // In an IPsec session whose link is up: takes the link's own address and, unless the policy
    // covers that address and connection already, withdraws the policy and applies it for them;
    // a failure is told once a session and shown on the tray icon (and tried again at the next
    // look). True when the policy was applied anew.
    bool protectLink(const std::string& name);

    WatchedSurface& window_;
    LinkQuery& link_;
    RemoteAccess& remoteAccess_;
    IpHelper& ipHelper_;
    Processes& processes_;
    ShellFolders& shell_;
    Registry& registry_;
    Dialer& dialer_;
    IpsecPolicy& policy_;
    SettingsFile& settings_;
    ConnectionLog& log_;
    PolicyCoverage coverage_{window_, link_, remoteAccess_, dialer_, registry_};
    bool lookAgain_ = false;
    TunnelCheck tunnelCheck_;  // remembers a look that missed the tunnel's address
    bool ending_ = false;
    bool withdrawing_ = false;  // Stop or the program's end is withdrawing the policy
    bool autoDialHeld_ = false;
    bool connectRefused_ = false;
    int connecting_ = 0;
    bool dialSessionActive_ = false;  // the dial under way (or last) began in an active session
    bool linkSeenDown_ = false;       // the watch saw the session's link go down
    bool plainLinkLost_ = false;      // a plain session's link went down by nobody's wish
    std::vector<RasHandle> endHungUp_;  // the connections the shut-down hung up
};

}  // namespace velmora
