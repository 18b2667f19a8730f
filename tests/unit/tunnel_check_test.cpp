#include "core/connection/tunnel_check.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_remote_access.h"

namespace velmora {
namespace {

// Only a clear answer against the tunnel counts: a question without an answer keeps the link, which
// is otherwise hung up for nothing.
TEST(TunnelCheckTest, aTunnelIsDeadOnlyWhenTheServiceOrTheAddressTableSaysSo) {
    const struct {
        const char* what;
        bool listed;
        bool connected;
        std::string projection;
        bool addressOnHost;
        bool tableReadable;
        bool alive;
    } rows[] = {
        {"connected, its address on the host", true, true, "10.10.10.4", true, true, true},
        {"connected, its address gone", true, true, "10.10.10.4", false, true, false},
        {"no longer reported connected", true, false, "10.10.10.4", true, true, false},
        {"no longer listed", false, true, "10.10.10.4", true, true, false},
        {"no projection to compare", true, true, "", false, true, true},
        {"an address table that cannot be read", true, true, "10.10.10.4", false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testing::FakeRemoteAccess ras;
        testing::FakeIpHelper ip;
        if (row.listed) {
            ras.connect(7, "corvinaltexum");
        }
        if (!row.connected) {
            ras.disconnected.insert(7);
        }
        ras.addresses[7] = row.projection;
        ip.add("192.0.2.7");
        if (row.addressOnHost) {
            ip.add("10.10.10.4");
        }
        if (!row.tableReadable) {
            ip.table = {AddressTableStatus::readFailed, {}};
        }
        EXPECT_EQ(tunnelAlive(ras, ip, 7), row.alive);
    }
}

}  // namespace
}  // namespace velmora
