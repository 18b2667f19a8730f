// The operating system's IP helper service: the network adapters and the host's IPv4 addresses.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velmora {

// An IPv4 address as its four bytes in network order: byte 0 is the first number.
using Ipv4Bytes = std::array<std::uint8_t, 4>;

enum class AddressTableStatus {
    ok,
    noSize,      // the service named no size for the table
    readFailed,  // the service named a size but then could not fill the table
};

struct AddressTable {
    AddressTableStatus status = AddressTableStatus::readFailed;
    std::vector<Ipv4Bytes> addresses;  // every row's address in the table's order; empty unless ok
};

class IpHelper {
public:
    virtual ~IpHelper() = default;

    // The hardware address of every network adapter, in the service's order, each as many
    // bytes as the adapter's address length says; empty when there is none or the listing fails.
    virtual std::vector<std::vector<std::uint8_t>> adapterAddresses() = 0;

    // The interface addresses of the host, read afresh, unsorted.
    virtual AddressTable addressTable() = 0;
};

}  // namespace velmora
