#include "core/connection/tunnel_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_remote_access.h"

namespace velmora {
namespace {

enum class Status { connected, notConnected, unlisted, noAnswer };

// What the service and the host answer at one look, and what the look finds.
struct Look {
    Status status;
    std::string projection;
    bool addressOnHost;
    bool tableReadable;
    TunnelLook found;
    RasHandle connection = 7;
};

TunnelLook lookAt(TunnelCheck& check, const Look& look) {
    testing::FakeRemoteAccess ras;
    testing::FakeIpHelper ip;
    if (look.status != Status::unlisted) {
        ras.connect(look.connection, "corvinaltexum");
    }
    if (look.status == Status::notConnected) {
        ras.disconnected.insert(look.connection);
    }
    if (look.status == Status::noAnswer) {
        ras.unanswered.insert(look.connection);
    }
    ras.addresses[look.connection] = look.projection;
    ip.add("192.0.2.7");
    if (look.addressOnHost) {
        ip.add(look.projection);
    }
    if (!look.tableReadable) {
        ip.table = {AddressTableStatus::readFailed, {}};
    }
    return check.look(ras, ip, look.connection);
}

// Only a clear answer against the tunnel counts: a question without an answer keeps the link, which
// is otherwise hung up for nothing.
TEST(TunnelCheckTest, aFirstLookFindsATunnelDeadOnlyWhenTheServiceSaysSo) {
    const struct {
        const char* what;
        Look look;
    } rows[] = {
        {"connected, its address on the host", {Status::connected, "10.10.10.4", true, true, TunnelLook::alive}},
        {"connected, its address missing", {Status::connected, "10.10.10.4", false, true, TunnelLook::lookAgain}},
        {"no longer reported connected", {Status::notConnected, "10.10.10.4", true, true, TunnelLook::dead}},
        {"no longer listed", {Status::unlisted, "10.10.10.4", true, true, TunnelLook::dead}},
        {"no projection to compare", {Status::connected, "", false, true, TunnelLook::alive}},
        {"an address table that cannot be read", {Status::connected, "10.10.10.4", false, false, TunnelLook::alive}},
        {"no answer about its status, its address on the host",
         {Status::noAnswer, "10.10.10.4", true, true, TunnelLook::alive}},
        {"no answer about its status, no projection", {Status::noAnswer, "", false, true, TunnelLook::alive}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TunnelCheck check;
        EXPECT_EQ(lookAt(check, row.look), row.look.found);
    }
}

// A moment after a resume the host may not list the tunnel's address yet: only two looks in a row
// that miss it, at the same connection, find the tunnel dead.
TEST(TunnelCheckTest, aMissingAddressIsConfirmedByTheNextLook) {
    const Look missing{Status::connected, "10.10.10.4", false, true, TunnelLook::lookAgain};
    const Look missingConfirmed{Status::connected, "10.10.10.4", false, true, TunnelLook::dead};
    const Look seen{Status::connected, "10.10.10.4", true, true, TunnelLook::alive};
    const Look unreadable{Status::connected, "10.10.10.4", false, false, TunnelLook::alive};
    const Look missingUnanswered{Status::noAnswer, "10.10.10.4", false, true, TunnelLook::dead};
    const Look otherConnectionMissing{Status::connected, "10.10.10.4", false, true, TunnelLook::lookAgain, 8};
    const Look otherAddressMissing{Status::connected, "10.10.10.12", false, true, TunnelLook::lookAgain};
    const struct {
        const char* what;
        std::vector<Look> looks;
    } rows[] = {
        {"missing twice", {missing, missingConfirmed}},
        {"missing, seen again, missing", {missing, seen, missing}},
        {"missing, a table that cannot be read, missing", {missing, unreadable, missing}},
        {"missing, then missing with no answer about the status", {missing, missingUnanswered}},
        {"missing, then another connection's address missing", {missing, otherConnectionMissing}},
        {"missing, then another address of the connection missing", {missing, otherAddressMissing}},
        {"dead, then missing once more", {missing, missingConfirmed, missing}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TunnelCheck check;
        for (std::size_t i = 0; i < row.looks.size(); ++i) {
            EXPECT_EQ(lookAt(check, row.looks[i]), row.looks[i].found) << "look " << i + 1;
        }
    }
}

}  // namespace
}  // namespace velmora
