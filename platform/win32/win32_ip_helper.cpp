#include "platform/win32/win32_ip_helper.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// The adapter record with 32-bit lease times, as the service lays it out for 32-bit programs.
static_assert(sizeof(IP_ADAPTER_INFO) == 640, "the service fills records of this layout");

// True when the whole record lies inside the buffer the service filled.
bool inside(const std::vector<unsigned char>& buffer, const IP_ADAPTER_INFO* record) {
    const auto* start = reinterpret_cast<const unsigned char*>(record);
    return start >= buffer.data() && start + sizeof(IP_ADAPTER_INFO) <= buffer.data() + buffer.size();
}

}  // namespace

std::vector<std::vector<std::uint8_t>> Win32IpHelper::adapterAddresses() {
    std::vector<std::vector<std::uint8_t>> addresses;
    auto* getAdaptersInfo = library_.function<decltype(GetAdaptersInfo)>("GetAdaptersInfo");
    if (getAdaptersInfo == nullptr) {
        return addresses;
    }
    ULONG size = 0;
    (void)getAdaptersInfo(nullptr, &size);
    if (size == 0) {
        return addresses;
    }
    std::vector<unsigned char> buffer(size);
    if (getAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return addresses;
    }
    // The chain runs through the records' next pointers; one that leads out of the buffer ends it.
    const auto* record = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data());
    for (; record != nullptr && inside(buffer, record); record = record->Next) {
        const UINT length = std::min<UINT>(record->AddressLength, sizeof record->Address);
        addresses.emplace_back(record->Address, record->Address + length);
    }
    return addresses;
}

namespace {

// The address table as the service writes it: a 32-bit count, then that many 24-byte rows whose
// first four bytes are the address in network order.
constexpr std::size_t kCountBytes = 4;
constexpr std::size_t kRowBytes = 24;
static_assert(sizeof(MIB_IPADDRROW) == kRowBytes, "row layout");
static_assert(offsetof(MIB_IPADDRTABLE, table) == kCountBytes, "table layout");

}  // namespace

AddressTable Win32IpHelper::addressTable() {
    AddressTable result;
    auto* getIpAddrTable = library_.function<decltype(GetIpAddrTable)>("GetIpAddrTable");
    if (getIpAddrTable == nullptr) {
        return result;
    }
    ULONG size = 0;
    (void)getIpAddrTable(nullptr, &size, TRUE);
    if (size == 0) {
        result.status = AddressTableStatus::noSize;
        return result;
    }
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    // An address that comes or goes between the two calls changes the size; ask again then.
    for (int attempt = 0; attempt < 3 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.assign(size, 0);
        status = getIpAddrTable(reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data()), &size, FALSE);
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
