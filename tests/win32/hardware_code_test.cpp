// The processor identifiers from the management service and the adapters' hardware addresses
// from the IP helper, against what the processor and a second listing say.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <objbase.h>

#include <cpuid.h>
#include <cstdio>

#include <gtest/gtest.h>

#include "core/system/hardware_code.h"
#include "platform/win32/win32_ip_helper.h"
#include "platform/win32/win32_management_service.h"

namespace velmora {
namespace {

using Address = std::vector<std::uint8_t>;

// The identifier as the management service builds it: the feature flags and the signature of
// the processor (CPUID leaf 1, EDX then EAX) in upper-case hexadecimal.
std::string cpuidProcessorId() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return {};
    }
    char id[17];
    std::snprintf(id, sizeof id, "%08X%08X", edx, eax);
    return id;
}

// The adapters' hardware addresses from the newer listing, in its order.
std::vector<Address> addressesFromTheNewerListing() {
    std::vector<Address> addresses;
    ULONG size = 0;
    if (GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, nullptr, &size) != ERROR_BUFFER_OVERFLOW) {
        return addresses;
    }
    std::vector<unsigned char> buffer(size);
    auto* first = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, first, &size) != ERROR_SUCCESS) {
        return addresses;
    }
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        if (adapter->IfType != IF_TYPE_SOFTWARE_LOOPBACK) {
            addresses.emplace_back(adapter->PhysicalAddress, adapter->PhysicalAddress + adapter->PhysicalAddressLength);
        }
    }
    return addresses;
}

TEST(Win32ManagementService, answersTheProcessorsIdentifier) {
    const std::vector<std::string> ids = Win32ManagementService().processorIds();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.back(), cpuidProcessorId());
}

TEST(Win32ManagementService, leavesComAsItFoundIt) {
    ASSERT_FALSE(Win32ManagementService().processorIds().empty());
    // S_OK, not S_FALSE: the query's own initialisation was undone.
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(initialised, S_OK);
    CoUninitialize();
}

TEST(Win32ManagementService, worksInsideTheCallersApartment) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_FALSE(Win32ManagementService().processorIds().empty());
    // Still initialised once: a second initialisation only counts up.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

TEST(Win32IpHelper, listsTheAdaptersOfTheNewerListingInItsOrder) {
    const std::vector<Address> addresses = Win32IpHelper().adapterAddresses();
    EXPECT_EQ(addresses, addressesFromTheNewerListing());
}

TEST(Win32HardwareCode, composesTheIdentifierAndTheFirstAdaptersLastTwoBytes) {
    Win32ManagementService management;
    Win32IpHelper adapters;
    const std::string id = cpuidProcessorId();
    ASSERT_EQ(id.size(), 16u);
    const std::vector<Address> addresses = addressesFromTheNewerListing();
    std::string middle;
    if (!addresses.empty()) {
        ASSERT_EQ(addresses.front().size(), 6u) << "the first adapter is no Ethernet adapter";
        char hex[5];
        std::snprintf(hex, sizeof hex, "%02X%02X", addresses.front()[4], addresses.front()[5]);
        middle = hex;
    }
    EXPECT_EQ(getHDCode(management, adapters), id.substr(0, 4) + middle + id.substr(12));
}

}  // namespace
}  // namespace velmora
