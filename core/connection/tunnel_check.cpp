#include "core/connection/tunnel_check.h"

#include <algorithm>
#include <utility>

#include "core/connection/address_snapshot.h"

namespace velmora {

TunnelLook TunnelCheck::look(RemoteAccess& remoteAccess, IpHelper& ipHelper, RasHandle connection) {
    const std::optional<Miss> before = std::exchange(missed_, std::nullopt);
    if (remoteAccess.connectionConnected(connection) == ConnectedAnswer::notConnected) {
        return TunnelLook::dead;
    }
    const std::string address = remoteAccess.connectionAddress(connection);
    if (address.empty()) {
        return TunnelLook::alive;
    }
    const AddressTable table = ipHelper.addressTable();
    if (table.status != AddressTableStatus::ok ||
        std::any_of(table.addresses.begin(), table.addresses.end(),
                    [&](const Ipv4Bytes& host) { return addrToString(host) == address; })) {
        return TunnelLook::alive;
    }
    // Just after a resume the host can take a moment to list the tunnel's address again.
    if (before && before->connection == connection && before->address == address) {
        return TunnelLook::dead;
    }
    missed_ = Miss{connection, address};
    return TunnelLook::lookAgain;
}

}  // namespace velmora
