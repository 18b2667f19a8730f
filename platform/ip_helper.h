// The operating system's IP helper service: the network adapters.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

class IpHelper {
public:
    virtual ~IpHelper() = default;

    // The hardware address of every network adapter, in the service's order, each as many
    // bytes as the adapter's address length says; empty when there is none or the listing fails.
    virtual std::vector<std::vector<std::uint8_t>> adapterAddresses() = 0;
};

}  // namespace velmora
