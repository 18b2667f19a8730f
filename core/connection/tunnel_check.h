// Whether a connection that the remote-access service lists still carries its tunnel: after the
// computer slept or its network changed, the service can go on listing a connection whose tunnel
// is gone.
#pragma once

#include "platform/ip_helper.h"
#include "platform/remote_access.h"

namespace velmora {

// False when the service no longer reports the connection connected, or when the address its IP
// projection obtained is gone from the host's addresses. A question that gets no answer (no
// projection, an unreadable address table) tells nothing against the connection.
bool tunnelAlive(RemoteAccess& remoteAccess, IpHelper& ipHelper, RasHandle connection);

}  // namespace velmora
