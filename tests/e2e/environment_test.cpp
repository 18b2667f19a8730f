// The end-to-end environment itself: a private network namespace whose addresses Wine
// reports, a Unix command started from a Windows program, and the stand-in remote-access
// service loaded in place of Wine's.
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win32_remote_access.h"
#include "sim/sim_state.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::eventually;

std::vector<std::string> hostAddresses() {
    ULONG size = 0;
    (void)GetIpAddrTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    std::vector<std::string> addresses;
    if (size == 0 || GetIpAddrTable(table, &size, FALSE) != NO_ERROR) {
        return addresses;
    }
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto* b = reinterpret_cast<const unsigned char*>(&table->table[i].dwAddr);
        addresses.push_back(std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
                            std::to_string(b[3]));
    }
    return addresses;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(Environment, privateNamespaceShowsOnlyLoopbackUntilAnAddressIsAdded) {
    const auto before = hostAddresses();
    EXPECT_EQ(before, std::vector<std::string>{"127.0.0.1"});

    // Wine hands back no waitable process for a Unix program, so the wait returns before it ends.
    testing::runCommandLine("/bin/sh -c \"ip addr add 10.10.10.4/32 dev lo\"");
    EXPECT_TRUE(eventually([] { return contains(hostAddresses(), "10.10.10.4"); }));

    testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo\"");
    EXPECT_TRUE(eventually([] { return !contains(hostAddresses(), "10.10.10.4"); }));
}

TEST(Environment, standInRemoteAccessServiceAnswers) {
    testing::TempFolder sim;
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
    sim::saveConnections({{42, "corvinaltexum"}});

    Win32RemoteAccess ras;
    const ConnectionList list = ras.activeConnections();
    ASSERT_EQ(list.status, 0u);
    ASSERT_EQ(list.connections.size(), 1u);
    EXPECT_EQ(list.connections[0].handle, 42u);
    EXPECT_EQ(list.connections[0].entryName, "corvinaltexum");

    ras.hangUp(42);
    EXPECT_EQ(ras.connectionGone(42), GoneAnswer::stillThere) << "the service ends it for a moment first";
    EXPECT_TRUE(eventually([&] { return ras.connectionGone(42) == GoneAnswer::gone; }));
    EXPECT_TRUE(ras.activeConnections().connections.empty());
    EXPECT_EQ(sim::readJournal(), std::vector<std::string>{"RasHangUpA 42"});
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
}

}  // namespace
}  // namespace velmora
