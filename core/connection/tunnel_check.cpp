#include "core/connection/tunnel_check.h"

#include <algorithm>

#include "core/connection/address_snapshot.h"

namespace velmora {

bool tunnelAlive(RemoteAccess& remoteAccess, IpHelper& ipHelper, RasHandle connection) {
    if (!remoteAccess.connectionConnected(connection)) {
        return false;
    }
    const std::string address = remoteAccess.connectionAddress(connection);
    if (address.empty()) {
        return true;
    }
    const AddressTable table = ipHelper.addressTable();
    return table.status != AddressTableStatus::ok ||
           std::any_of(table.addresses.begin(), table.addresses.end(),
                       [&](const Ipv4Bytes& host) { return addrToString(host) == address; });
}

}  // namespace velmora
