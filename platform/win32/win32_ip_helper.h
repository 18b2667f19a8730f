// IpHelper over iphlpapi (GetAdaptersInfo, GetIpAddrTable).
#pragma once

#include "platform/ip_helper.h"

namespace velmora {

class Win32IpHelper : public IpHelper {
public:
    std::vector<std::vector<std::uint8_t>> adapterAddresses() override;
    AddressTable addressTable() override;
};

}  // namespace velmora
