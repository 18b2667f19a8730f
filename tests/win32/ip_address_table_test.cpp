// The address table of Win32IpHelper against Wine's real one.
#include "platform/win32/win32_ip_helper.h"

#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace velmora {
namespace {

TEST(AddressTable, listsLoopbackWithItsFirstNumberFirst) {
    Win32IpHelper service;
    const AddressTable table = service.addressTable();
    ASSERT_EQ(table.status, AddressTableStatus::ok);
    const Ipv4Bytes loopback{127, 0, 0, 1};
    EXPECT_NE(std::find(table.addresses.begin(), table.addresses.end(), loopback), table.addresses.end());
}

TEST(AddressTable, readsEveryRowAtTheSystemsStride) {
    ULONG size = 0;
    (void)GetIpAddrTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size);
    auto* system = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    ASSERT_EQ(GetIpAddrTable(system, &size, FALSE), static_cast<DWORD>(NO_ERROR));

    Win32IpHelper service;
    const AddressTable table = service.addressTable();
    ASSERT_EQ(table.addresses.size(), system->dwNumEntries);
    for (DWORD i = 0; i < system->dwNumEntries; ++i) {
        const DWORD address = system->table[i].dwAddr;
        const Ipv4Bytes expected{static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                                 static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 24)};
        EXPECT_EQ(table.addresses[i], expected) << "row " << i;
    }
}

}  // namespace
}  // namespace velmora
