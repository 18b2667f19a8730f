// IpAddressTable over iphlpapi (GetIpAddrTable).
#pragma once

#include "platform/ip_address_table.h"

namespace velmora {

class Win32IpAddressTable : public IpAddressTable {
public:
    AddressTable addressTable() override;
};

}  // namespace velmora
