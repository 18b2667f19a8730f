// What the IPsec policy was applied for and whether it is in force for the link that is up: the
// link's own address, when the policy must be applied anew, and what the user and the tray are
// told of it. The session controller decides when to run which command; this keeps the rule.
#pragma once

#include <optional>
#include <string>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/profile/control_surface.h"
#include "platform/registry.h"
#include "platform/remote_access.h"

namespace velmora {

class PolicyCoverage {
public:
    PolicyCoverage(ControlSurface& window, LinkQuery& link, RemoteAccess& remoteAccess, Dialer& dialer,
                   Registry& registry)
        : window_(window), link_(link), remoteAccess_(remoteAccess), dialer_(dialer), registry_(registry) {}

    // A Connect begins an IPsec session: a failure is told once more in it.
    void sessionBegins();

    // The address of the link that is up (the connection last found up): the one the
    // remote-access service says it obtained, else the one the dial that brought it up found in
    // the address table. Written into txtlocal, so that an apply composes its lines for it.
    // Empty when neither knows one: then the policy is not in force for the link, which the tray
    // shows and the user is told once a session.
    std::string linkAddress();

    // Whether the policy was applied, and set, for this address and the connection that is up
    // now, with no drop of that connection seen since. One applied while no link was up belongs
    // to the first connection that comes up with its address.
    bool coversLink(const std::string& address);

    // An apply that ran (not superseded) for the address and connection (0: no link was up);
    // succeeded or not, as its result said.
    void applied(const std::string& address, RasHandle connection, bool succeeded);
    // A re-apply failed: told once a session, with why.
    void tellReapplyFailed(const std::string& why);

    // The link watch saw the link down: the connection the policy was set for is gone.
    void linkLost();

    // The policy was withdrawn, or its withdrawal failed: nothing is covered any more; a failed
    // withdrawal stays on the tray until the next apply or withdrawal that succeeds.
    void withdrawn(bool succeeded);

    // Looks whether Group Policy assigns a domain IPsec policy, which overrides the program's:
    // the tray says so while it does, and the user is told once a run. Connection security rules
    // that Group Policy sets (Windows 6.0 and later) are told once a run too.
    void lookForDomainPolicy();

private:
    struct Applied {
        std::string address;
        RasHandle connection = 0;
    };

    void showPolicyState();

    ControlSurface& window_;
    LinkQuery& link_;
    RemoteAccess& remoteAccess_;
    Dialer& dialer_;
    Registry& registry_;
    std::optional<Applied> applied_;  // set for the link only when the apply succeeded
    bool applyFailed_ = false;
    bool addressKnown_ = true;
    bool domainPolicy_ = false;
    bool withdrawalFailed_ = false;
    bool toldReapplyFailed_ = false;
    bool toldNoAddress_ = false;
    bool toldDomainPolicy_ = false;
    bool toldConnectionSecurityRules_ = false;
};

}  // namespace velmora
