#include "platform/win32/win32_ip_helper.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <algorithm>

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
    ULONG size = 0;
    (void)GetAdaptersInfo(nullptr, &size);
    if (size == 0) {
        return addresses;
    }
    std::vector<unsigned char> buffer(size);
    if (GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size) != ERROR_SUCCESS) {
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

}  // namespace velmora
