// The host's address table in memory: a test sets the addresses (or a failure) it answers.
#pragma once

#include <string>

#include "platform/ip_address_table.h"

namespace velmora::testing {

class FakeIpAddressTable : public IpAddressTable {
public:
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

    AddressTable table{AddressTableStatus::ok, {}};
    int reads = 0;
};

}  // namespace velmora::testing
