#include "core/service/service_client.h"

#include <gtest/gtest.h>

#include "core/connection/dialer.h"
#include "core/ipsec/ipsec_policy.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/loopback_service.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

ClientFacts alice() {
    ClientFacts facts;
    facts.user = "PC\\alice";
    facts.interactive = true;
    return facts;
}

// The window's dialer and policy over the client, the service's core over fakes behind it.
class ServiceClientTest : public ::testing::Test {
protected:
    ServiceClientTest() {
        machine.version.record = {10, 0, "", 19045};
        machine.processes.onRun = [this](const std::string&) {
            ras.connect(12, "corvinaltexum");
            ras.addresses[12] = "10.10.10.4";
        };
        loop.behindRemoteProgram = [this] {
            if (machine.processes.lastShown != nullptr) {
                machine.processes.lastShown->runToEnd();
            }
        };
        window.setText(Control::txtServerAddress, "vpn.example.com");
        window.setText(Control::txtUserName, "alice");
        window.setText(Control::txtPasswd, "secret");
        window.setText(Control::txtpreshare, "sharedkey");
        window.setText(Control::comalg, "ESP-3DES-SHA");
        window.setValue(Control::Check1, 1);  // IPsec: the watch adds the routes
        window.setValue(Control::Check3, 1);  // no message after the dial
        window.setText(Control::txtpeer2, "0.0.0.0");
        policy.setIpsecTool("velmora-ipsec");
    }

    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    testing::FakeRemoteAccess ras;
    testing::FakeLogFile serviceLogFile;
    testing::FakeClock clock;
    ServiceLog serviceLog{serviceLogFile, clock};
    ServiceCore core{machine.operations, ras, clock, serviceLog};
    testing::LoopbackService service{core, alice()};
    testing::FakeRemoteAccess local;
    ServiceClient client{service, local};

    testing::FakeControlSurface window;
    testing::FakeEventLoop loop;
    testing::FakeIpHelper table;
    testing::MemoryLog log;
    LinkQuery link{client};
    Dialer dialer{window, client, loop, table, link, client, log.log};
    IpsecPolicy policy{window, client, loop, log.log};
};

TEST_F(ServiceClientTest, theWindowsSessionRunsInTheServiceAndIsTakenBackWhenTheWindowGoes) {
    ASSERT_EQ(policy.config_ipsec(kPolicyOn).outcome, PolicyResult::done);
    ASSERT_EQ(dialer.dialtol2tp("corvinaltexum", Origin::window), DialOutcome::up);
    dialer.routeAdd();
    // The window learnt the link from the service: its handle and the address it obtained.
    EXPECT_EQ(link.hRasConn(), 12u);
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    const Lines& ran = machine.processes.started;
    ASSERT_EQ(ran.size(), 3u);
    EXPECT_EQ(ran[0].rfind("velmora-ipsec -w REG -p \"corvinaltexum\" -r \"windows to zerta\"", 0), 0u) << ran[0];
    EXPECT_EQ(ran[2], "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1");
    EXPECT_EQ(machine.processes.waited.size(), 1u);

    service.windowGone();
    for (int i = 0; i < 200 && core.takingBack(); ++i) {
        (void)core.poll();
        clock.ticks += 100;
    }
    EXPECT_EQ(ras.hangUps, std::vector<RasHandle>{12});
    EXPECT_EQ(ran.size(), 6u);
    EXPECT_EQ(ran.back(), "route delete 10.0.0.0 mask 255.255.0.0 10.10.10.4");
}

TEST_F(ServiceClientTest, aServiceThatGoesAwayEndsWhatItRanAndTheNextRequestFindsItAgain) {
    machine.processes.holdDials = true;
    loop.behindRemoteProgram = [this] { service.breakChannel(); };
    EXPECT_EQ(dialer.dialtol2tp("corvinaltexum", Origin::window), DialOutcome::down);
    EXPECT_EQ(log.file.lines.back(),
              testing::kLogTime + "拨号结束：未连接，用时 0.0 秒，rasdial 退出码 109");
    EXPECT_EQ(service.connections, 2) << "the link's question after the dial made the channel anew";

    service.down = true;
    service.breakChannel();
    const Started refused = client.startPolicyRun(PolicyRun{RuleDirection::outbound, true, "10.10.10.4", "10.0.0.0",
                                                            "255.255.0.0", "sharedkey", "ESP-3DES-SHA"});
    EXPECT_TRUE(refused.refused);
    EXPECT_NE(refused.failure.find("Velmora VPN 服务没有响应"), std::string::npos);
    EXPECT_EQ(client.activeConnections().status, kServiceGoneStatus);
    EXPECT_EQ(client.connectionGone(12), GoneAnswer::noAnswer) << "a service gone tells nothing of the link";
    EXPECT_EQ(client.connectionConnected(12), ConnectedAnswer::noAnswer);
}

// The service's three answers about a connection reach the window as it gave them; one it could
// not give stays no answer rather than becoming "gone" or "not connected".
TEST_F(ServiceClientTest, theStatusOfAConnectionCrossesTheChannelInEachOfItsAnswers) {
    ras.connect(12, "corvinaltexum");
    ras.connect(13, "corvinaltexum");
    ras.disconnected.insert(13);
    ras.connect(14, "corvinaltexum");
    ras.unanswered.insert(14);
    const struct {
        RasHandle connection;
        ConnectedAnswer connected;
        GoneAnswer gone;
    } rows[] = {
        {12, ConnectedAnswer::connected, GoneAnswer::stillThere},
        {13, ConnectedAnswer::notConnected, GoneAnswer::stillThere},
        {14, ConnectedAnswer::noAnswer, GoneAnswer::noAnswer},
        {15, ConnectedAnswer::notConnected, GoneAnswer::gone},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.connection);
        EXPECT_EQ(client.connectionConnected(row.connection), row.connected);
        EXPECT_EQ(client.connectionGone(row.connection), row.gone);
    }
}

TEST_F(ServiceClientTest, whatTheServiceRefusesTheWindowTellsInItsOwnWords) {
    testing::LoopbackService strict{core, alice(), AccessPolicy{"VPN Users"}};
    ServiceClient outsider{strict, local};
    const auto decision = outsider.hello();
    ASSERT_TRUE(decision);
    EXPECT_FALSE(decision->served);
    Dialer refusedDialer{window, outsider, loop, table, link, outsider, log.log};
    EXPECT_EQ(refusedDialer.dialtol2tp("corvinaltexum", Origin::window), DialOutcome::refused);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("Velmora VPN 服务没有拨号：管理员设定只有组“VPN Users”的成员", 0), 0u)
        << window.messages[0];
    EXPECT_TRUE(machine.processes.waited.empty());

    IpsecPolicy refusedPolicy{window, outsider, loop, log.log};
    refusedPolicy.setIpsecTool("ipseccmd");
    const PolicyResult result = refusedPolicy.config_ipsec(kPolicyOn);
    EXPECT_EQ(result.outcome, PolicyResult::failed) << "a refusal counts even where runs are not watched";
    EXPECT_NE(result.failure.find("VPN Users"), std::string::npos);
}

}  // namespace
}  // namespace velmora
