// Whether a connection that the remote-access service lists still carries its tunnel: after the
// computer slept or its network changed, the service can go on listing a connection whose tunnel
// is gone.
#pragma once

#include <optional>
#include <string>

#include "platform/ip_helper.h"
#include "platform/remote_access.h"

namespace velmora {

enum class TunnelLook {
    alive,
    lookAgain,  // alive for now: its address was missing once, which the next look confirms or not
    dead,
};

// Looks at the session's tunnel, remembering a look that missed its address until the next one.
class TunnelCheck {
public:
    // Dead when the service reports the connection not connected, or when the address its IP
    // projection obtained is missing from the host's addresses on two looks in a row at the same
    // connection; the first of them is lookAgain. A question that gets no answer (the service's
    // status, no projection, an unreadable address table) tells nothing against the connection.
    TunnelLook look(RemoteAccess& remoteAccess, IpHelper& ipHelper, RasHandle connection);

private:
    struct Miss {
        RasHandle connection = 0;
        std::string address;
    };
    // The last look, when it missed the connection's address.
    std::optional<Miss> missed_;
};

}  // namespace velmora
