#include "core/connection/address_snapshot.h"

#include <algorithm>

namespace velmora {

std::string addrToString(const Ipv4Bytes& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) +
           "." + std::to_string(address[3]);
}

std::optional<std::vector<std::string>> readIpAddrTable(IpHelper& ipHelper, ControlSurface& window) {
    const AddressTable read = ipHelper.addressTable();
    if (read.status == AddressTableStatus::noSize) {
        return std::nullopt;
    }
    if (read.status == AddressTableStatus::readFailed) {
        window.showMessage("ERROR", MessageSign::error);
        return std::nullopt;
    }
    std::vector<std::string> addresses;
    for (const Ipv4Bytes& address : read.addresses) {
        if (addresses.size() == kMaxSnapshotAddresses) {
            window.showMessage("ERROR", MessageSign::error);
            break;
        }
        addresses.push_back(addrToString(address));
    }
    return addresses;
}

std::optional<std::string> firstNewAddress(const std::vector<std::string>& before,
                                           const std::vector<std::string>& after) {
    if (before.size() >= after.size()) {
        return std::nullopt;
    }
    for (const std::string& address : after) {
        if (std::find(before.begin(), before.end(), address) == before.end()) {
            return address;
        }
    }
    return std::nullopt;
}

}  // namespace velmora
