// The host's IPv4 address table, as the IP helper service lists it.
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

class IpAddressTable {
public:
    virtual ~IpAddressTable() = default;

    // The interface addresses of the host, read afresh, unsorted.
    virtual AddressTable addressTable() = 0;
};

}  // namespace velmora
