// The link query through Win32RemoteAccess, answered by the stand-in rasapi32.dll.
#include "platform/win32/win32_remote_access.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "core/connection/link_query.h"
#include "sim/sim_state.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

class RemoteAccessTest : public ::testing::Test {
protected:
    RemoteAccessTest() { SetEnvironmentVariableW(L"VELMORA_SIM_DIR", folder.path().c_str()); }
    ~RemoteAccessTest() override { SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr); }

    static void connectMany(int count, const std::string& lastName) {
        std::vector<sim::SimConnection> connections;
        for (int i = 1; i < count; ++i) {
            connections.push_back({static_cast<std::uint32_t>(100 + i), "entry " + std::to_string(i)});
        }
        connections.push_back({static_cast<std::uint32_t>(100 + count), lastName});
        sim::saveConnections(connections);
    }

    testing::TempFolder folder;
    Win32RemoteAccess ras;
    LinkQuery query{ras};
};

TEST_F(RemoteAccessTest, noConnection) {
    const ConnectionList list = ras.activeConnections();
    EXPECT_EQ(list.status, 0u);
    EXPECT_TRUE(list.connections.empty());
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
}

TEST_F(RemoteAccessTest, oneConnectionFoundByItsExactName) {
    sim::saveConnections({{7, "corvinaltexum"}});
    EXPECT_FALSE(query.getL2tpState("CORVINALTEXUM"));
    EXPECT_FALSE(query.getL2tpState("corvinaltexum "));
    EXPECT_EQ(query.hRasConn(), 0u);
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 7u);
}

TEST_F(RemoteAccessTest, twoWithTheSameNameGiveTheFirstHandle) {
    sim::saveConnections({{21, "corvinaltexum"}, {22, "corvinaltexum"}});
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 21u);
}

TEST_F(RemoteAccessTest, chineseEntryNameCrossesTheAnsiCodePage) {
    sim::saveConnections({{9, "公司连接"}});
    const ConnectionList list = ras.activeConnections();
    ASSERT_EQ(list.connections.size(), 1u);
    EXPECT_EQ(list.connections[0].entryName, "公司连接");
}

TEST_F(RemoteAccessTest, sixtyFourConnectionsAreAllListed) {
    connectMany(64, "corvinaltexum");
    const ConnectionList list = ras.activeConnections();
    EXPECT_EQ(list.status, 0u);
    EXPECT_EQ(list.connections.size(), 64u);
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 164u);
}

TEST_F(RemoteAccessTest, sixtyFiveConnectionsReadAsDownAndKeepTheLastHandle) {
    sim::saveConnections({{5, "corvinaltexum"}});
    ASSERT_TRUE(query.getL2tpState("corvinaltexum"));
    connectMany(65, "corvinaltexum");
    const ConnectionList list = ras.activeConnections();
    EXPECT_EQ(list.status, 603u);  // the service's buffer-too-small error
    EXPECT_TRUE(list.connections.empty());
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 5u);
}

// The service goes on ending a hung-up connection for a moment, no longer connected; its status
// then says it is gone.
TEST_F(RemoteAccessTest, aHungUpConnectionIsGoneOnlyAfterAMoment) {
    sim::saveConnections({{7, "corvinaltexum"}, {8, "other"}});
    EXPECT_EQ(ras.connectionConnected(7), ConnectedAnswer::connected);
    ras.hangUp(7);
    EXPECT_EQ(ras.connectionGone(7), GoneAnswer::stillThere);
    EXPECT_EQ(ras.connectionConnected(7), ConnectedAnswer::notConnected);
    EXPECT_TRUE(query.getL2tpState("corvinaltexum")) << "still listed while it is being ended";
    Sleep(sim::kHangUpLingerMs + 300);
    EXPECT_EQ(ras.connectionGone(7), GoneAnswer::gone);
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(ras.connectionGone(8), GoneAnswer::stillThere);
    EXPECT_EQ(ras.connectionConnected(8), ConnectedAnswer::connected);
    EXPECT_TRUE(query.getL2tpState("other"));
    EXPECT_EQ(ras.connectionGone(99), GoneAnswer::gone);
    EXPECT_EQ(ras.connectionConnected(99), ConnectedAnswer::notConnected);
    EXPECT_EQ(sim::readJournal(), std::vector<std::string>{"RasHangUpA 7"});
}

// Only an invalid handle says the connection is gone; any other failure of the status question
// tells nothing either way, whether the connection is listed or not.
TEST_F(RemoteAccessTest, aStatusTheServiceFailsToTellIsNoAnswer) {
    sim::saveConnections({{7, "corvinaltexum"}});
    const struct {
        std::uint32_t failure;
        RasHandle connection;
        ConnectedAnswer connected;
        GoneAnswer gone;
    } rows[] = {
        {0, 7, ConnectedAnswer::connected, GoneAnswer::stillThere},
        {0, 99, ConnectedAnswer::notConnected, GoneAnswer::gone},
        {ERROR_INVALID_HANDLE, 7, ConnectedAnswer::notConnected, GoneAnswer::gone},
        {ERROR_NOT_ENOUGH_MEMORY, 7, ConnectedAnswer::noAnswer, GoneAnswer::noAnswer},
        {ERROR_NOT_ENOUGH_MEMORY, 99, ConnectedAnswer::noAnswer, GoneAnswer::noAnswer},
        {711, 7, ConnectedAnswer::noAnswer, GoneAnswer::noAnswer},  // the service could not start
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.failure) + " for " + std::to_string(row.connection));
        sim::saveStatusFailure(row.failure);
        EXPECT_EQ(ras.connectionConnected(row.connection), row.connected);
        EXPECT_EQ(ras.connectionGone(row.connection), row.gone);
    }
}

// The projection's record is the 40-byte one, which the stand-in checks as the service does.
TEST_F(RemoteAccessTest, theConnectionsAddressComesFromItsIpProjection) {
    sim::saveConnections({{7, "corvinaltexum", "10.10.10.7"}, {8, "being dialled"}});
    EXPECT_EQ(ras.connectionAddress(7), "10.10.10.7");
    EXPECT_EQ(ras.connectionAddress(8), "");  // no projection yet
    EXPECT_EQ(ras.connectionAddress(9), "");  // no such connection
    EXPECT_EQ(ras.connectionAddress(0), "");
}

// The statistics' record is the 60-byte one, which the stand-in checks as the service does.
TEST_F(RemoteAccessTest, theConnectionsCountsComeFromItsStatistics) {
    sim::saveConnections({{7, "corvinaltexum", "10.10.10.7"}});
    const ConnectionStatistics first = ras.connectionStatistics(7);
    Sleep(100);
    const ConnectionStatistics later = ras.connectionStatistics(7);
    EXPECT_TRUE(first.known);
    EXPECT_GT(later.connectedMs, first.connectedMs);
    EXPECT_GT(later.bytesReceived, later.bytesSent);
    EXPECT_FALSE(ras.connectionStatistics(9).known);  // no such connection
    EXPECT_FALSE(ras.connectionStatistics(0).known);
}

TEST_F(RemoteAccessTest, errorTextsOfTheServicesCodesComeFromItAloneOthersFromTheSystem) {
    // The service's own code, in GBK through the ANSI code page.
    EXPECT_EQ(ras.errorText(691), "由于域上的用户名和/或密码无效，访问被拒绝。");
    // A system code the service does not know: the system's message table, without its line end.
    const std::string system = ras.errorText(ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(system.empty());
    EXPECT_EQ(system.find_first_of("\r\n"), std::string::npos) << system;
    EXPECT_EQ(ras.errorText(0xE0001234u), "");
    // The system's messages give the service's numbers other meanings: never theirs.
    EXPECT_EQ(ras.errorText(ERROR_OPERATION_ABORTED), "");
}

}  // namespace
}  // namespace velmora
