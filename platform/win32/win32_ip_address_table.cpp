#include "platform/win32/win32_ip_address_table.h"

#include <windows.h>
#include <iphlpapi.h>

#include <cstring>

namespace velmora {

namespace {

// The table as the service writes it: a 32-bit count, then that many 24-byte rows whose
// first four bytes are the address in network order.
constexpr std::size_t kCountBytes = 4;
constexpr std::size_t kRowBytes = 24;
static_assert(sizeof(MIB_IPADDRROW) == kRowBytes, "row layout");
static_assert(offsetof(MIB_IPADDRTABLE, table) == kCountBytes, "table layout");

}  // namespace

AddressTable Win32IpAddressTable::addressTable() {
    AddressTable result;
    ULONG size = 0;
    (void)GetIpAddrTable(nullptr, &size, TRUE);
    if (size == 0) {
        result.status = AddressTableStatus::noSize;
        return result;
    }
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    // An address that comes or goes between the two calls changes the size; ask again then.
    for (int attempt = 0; attempt < 3 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.assign(size, 0);
        status = GetIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data()), &size, FALSE);
    }
    if (status != NO_ERROR || buffer.size() < kCountBytes) {
        return result;
    }
    DWORD count = 0;
    std::memcpy(&count, buffer.data(), kCountBytes);
    // A count that claims more rows than the buffer holds is a failed read, never an overrun.
    if (count > (buffer.size() - kCountBytes) / kRowBytes) {
        return result;
    }
    for (DWORD row = 0; row < count; ++row) {
        Ipv4Bytes address;
        std::memcpy(address.data(), buffer.data() + kCountBytes + kRowBytes * row, address.size());
        result.addresses.push_back(address);
    }
    result.status = AddressTableStatus::ok;
    return result;
}

}  // namespace velmora
