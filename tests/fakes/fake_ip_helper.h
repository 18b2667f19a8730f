// The IP helper service in memory: a test sets the adapters' hardware addresses and the host's
// address table (or its failure).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ip_helper.h"

namespace velmora::testing {

class FakeIpHelper : public IpHelper {
public:
    std::vector<std::vector<std::uint8_t>> adapterAddresses() override { return addresses; }
    AddressTable addressTable() override {
        ++reads;
        return table;
    }

    // Appends an address given as dotted text of four numbers.
    void add(const std::string& dotted) {
        Ipv4Bytes bytes{};
        std::size_t start = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::size_t dot = dotted.find('.', start);
            bytes[i] = static_cast<std::uint8_t>(std::stoi(dotted.substr(start, dot - start)));
            start = dot + 1;
        }
        table.addresses.push_back(bytes);
    }

    std::vector<std::vector<std::uint8_t>> addresses;
    AddressTable table{AddressTableStatus::ok, {}};
    int reads = 0;
};

}  // namespace velmora::testing
