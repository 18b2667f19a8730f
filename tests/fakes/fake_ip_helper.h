// The IP helper service in memory: a test sets the adapters' hardware addresses.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ip_helper.h"

namespace velmora::testing {

class FakeIpHelper : public IpHelper {
public:
    std::vector<std::vector<std::uint8_t>> adapterAddresses() override { return addresses; }

    std::vector<std::vector<std::uint8_t>> addresses;
};

}  // namespace velmora::testing
