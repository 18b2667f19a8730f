// IpHelper over iphlpapi (GetAdaptersInfo, GetIpAddrTable), loaded when first asked; without
// the library or its function each listing fails as the service's own failure would.
#pragma once

#include "platform/ip_helper.h"
#include "platform/win32/system_library.h"

namespace velmora {

class Win32IpHelper : public IpHelper {
public:
    // library: the IP helper's DLL in the system folder.
    explicit Win32IpHelper(const wchar_t* library = L"iphlpapi.dll") : library_(library) {}

    std::vector<std::vector<std::uint8_t>> adapterAddresses() override;
    AddressTable addressTable() override;

private:
    SystemLibrary library_;
};

}  // namespace velmora
