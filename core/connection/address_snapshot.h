// Snapshots of the host's IPv4 addresses taken around a dial, and the tunnel's address found
// by comparing them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/control_surface.h"
#include "platform/ip_helper.h"

namespace velmora {

// A snapshot holds at most this many addresses.
constexpr std::size_t kMaxSnapshotAddresses = 50;

// Dotted decimal text of an address, e.g. "10.10.10.4".
std::string addrToString(const Ipv4Bytes& address);

// The host's addresses in table order as dotted text, at most kMaxSnapshotAddresses; "ERROR" is
// shown when there are more (the first ones are kept) or the table cannot be read. Nothing
// when the table cannot be read, so that a dial never takes an address from a broken reading.
std::optional<std::vector<std::string>> readIpAddrTable(IpHelper& ipHelper, ControlSurface& window);

// The first address of after, in its order, that is in none of before; only when after holds
// strictly more addresses than before, since a tunnel adds one.
std::optional<std::string> firstNewAddress(const std::vector<std::string>& before,
                                           const std::vector<std::string>& after);

}  // namespace velmora
