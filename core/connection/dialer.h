// The dialer: brings the tunnel up with rasdial, finds the address it obtained by comparing the
// host's addresses before and after, and keeps the route commands for the remote networks.
#pragma once

#include <string>

#include "core/connection/link_query.h"
#include "core/profile/control_surface.h"
#include "platform/ip_helper.h"
#include "platform/processes.h"
#include "platform/remote_access.h"
#include "platform/shell_folders.h"

namespace velmora {

class Dialer {
public:
    Dialer(ControlSurface& window, Processes& processes, IpHelper& ipHelper, LinkQuery& linkQuery,
           RemoteAccess& remoteAccess, ShellFolders& shell)
        : window_(window), processes_(processes), ipHelper_(ipHelper), linkQuery_(linkQuery),
          remoteAccess_(remoteAccess), shell_(shell) {}

    // Dials the entry from ipsec.pbk or pptp.pbk in the data folder and waits for rasdial, without
    // processing window messages; the link's status shows the dial meanwhile. Success is connName
    // being up afterwards. On success with a new address it composes the route commands, puts the
    // address into txtlocal and, with neither IPsec (Check1) nor the remote default gateway
    // (Check2) on, starts the routes. Reports the outcome unless auto-dial (Check3) is on, a
    // failure with the error rasdial ended with (dial_failure.h); refuses to dial when network 1
    // is not an address.
    void dialtol2tp(const std::string& connName);

    // Dials the entry from defaultgate.pbk and reports the outcome, whatever Check3 says;
    // nothing else.
    void dialtol2tp_defaultgate(const std::string& connName);

    // Starts the stored route commands, hidden and not waited for; they stay stored.
    void routeAdd();

    // The route commands of the last dial that found the tunnel's address; empty before one.
    // routeCmd2 is empty when network 2 is not usable.
    const std::string& routeCmd1() const { return routeCmd1_; }
    const std::string& routeCmd2() const { return routeCmd2_; }

private:
    void reportDial(bool up, std::optional<std::uint32_t> status);

    ControlSurface& window_;
    Processes& processes_;
    IpHelper& ipHelper_;
    LinkQuery& linkQuery_;
    RemoteAccess& remoteAccess_;
    ShellFolders& shell_;
    std::string routeCmd1_;
    std::string routeCmd2_;
};

}  // namespace velmora
