// The service's host on a thread of its own, with the real platform under Wine and the stand-ins
// of sim/, and the window's connector and client talking to it over the real pipe: a greeting,
// the connections, a policy run that ends, what a client that goes leaves behind, and clients
// that break their stream or do not read.
#include "service/service_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/service/service_client.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_remote_access.h"
#include "platform/win32/win32_service_channel.h"
#include "service/service_parts.h"
#include "sim/sim_state.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

// What the host tells of a stop.
class CountingListener : public StopListener {
public:
    void stopBegins() override { ++begun; }
    void stillStopping() override { ++progress; }
    int begun = 0;
    int progress = 0;
};

// Looks until the condition holds, for at most the milliseconds: a bound for a broken service,
// not a measure of a working one.
bool eventually(const std::function<bool()>& condition, DWORD milliseconds = 20000) {
    for (DWORD waited = 0; waited < milliseconds; waited += 50) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

bool journalHas(const std::string& line) {
    const std::vector<std::string> journal = sim::readJournal();
    return std::find(journal.begin(), journal.end(), line) != journal.end();
}

// The service's log from the given line on (UTF-16 with its mark, as Notepad reads it).
std::vector<std::string> logLines(const std::string& path) {
    const std::string bytes = testing::readBytes(widen(path));
    const std::string text = bytes.size() < 2 ? "" : narrow(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()) + 1,
                                                                         bytes.size() / 2 - 1));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

class ServiceHostTest : public ::testing::Test {
protected:
    ServiceHostTest() {
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
        loggedBefore = logLines(parts.logFile.path()).size();
    }
    ~ServiceHostTest() override {
        stop();
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
    }

    void SetUp() override {
        ASSERT_TRUE(host.listen()) << GetLastError();
        thread = std::thread([this] { host.run(stopEvent.get(), listener); });
    }

    void stop() {
        if (thread.joinable()) {
            SetEvent(stopEvent.get());
            thread.join();
        }
    }

    // Whether a line of the log written during the test holds the text.
    bool logged(const std::string& text) {
        const std::vector<std::string> lines = logLines(parts.logFile.path());
        return std::any_of(lines.begin() + static_cast<std::ptrdiff_t>(std::min(loggedBefore, lines.size())),
                           lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }

    testing::TempFolder sim;
    ServiceParts parts;
    ServiceHost host{parts.core, parts.registry, parts.log};
    UniqueHandle stopEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    CountingListener listener;
    std::thread thread;
    std::size_t loggedBefore = 0;

    Win32ServiceConnector connector;
    Win32RemoteAccess local;
};

const PolicyRun kOutboundApply{RuleDirection::outbound, true, "10.10.10.4", "10.8.0.1", "255.255.0.0", "Zq8preshared",
                               "ESP-3DES-SHA"};
const Route kRoute{"10.8.0.0", "255.255.0.0", "10.10.10.4"};

TEST_F(ServiceHostTest, greetsListsTheConnectionsAndTellsTheEndOfAPolicyRunItStarted) {
    ServiceClient client(connector, local);
    const auto decision = client.hello();
    ASSERT_TRUE(decision.has_value());
    EXPECT_TRUE(decision->served) << decision->refusal;

    sim::saveConnections({{7, "corvinaltexum"}, {9, "公司连接"}});
    const ConnectionList list = client.activeConnections();
    EXPECT_EQ(list.status, 0u);
    ASSERT_EQ(list.connections.size(), 2u);
    EXPECT_EQ(list.connections[0].handle, 7u);
    EXPECT_EQ(list.connections[1].entryName, "公司连接");

    const Started started = client.startPolicyRun(kOutboundApply);
    ASSERT_NE(started.program, nullptr) << started.failure;
    const HANDLE ready = reinterpret_cast<HANDLE>(started.program->waitHandle());
    std::optional<std::uint32_t> status;
    ASSERT_TRUE(eventually([&] {
        (void)WaitForSingleObject(ready, 1000);
        status = started.program->exitStatus();
        return status.has_value();
    }, 60000));
    EXPECT_EQ(*status, 0u);
    // velmora-ipsec ran beside the service and stored the rule through netsh.
    const std::vector<std::string> journal = sim::readJournal();
    EXPECT_TRUE(std::any_of(journal.begin(), journal.end(), [](const std::string& line) {
        return line.find("netsh") != std::string::npos && line.find("10.8.0.1") != std::string::npos;
    }));
    EXPECT_TRUE(logged("IPSec策略 -x，规则 windows to zerta"));
    EXPECT_FALSE(logged("Zq8preshared"));
}

TEST_F(ServiceHostTest, aClientThatClosesItsEndHasItsRoutesTakenBack) {
    {
        ServiceClient client(connector, local);
        ASSERT_TRUE(client.addRoute(kRoute));
        EXPECT_TRUE(eventually([] { return journalHas("route add 10.8.0.0 mask 255.255.0.0 10.10.10.4 metric 1"); }));
        EXPECT_FALSE(journalHas("route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4"));
    }
    EXPECT_TRUE(eventually([] { return journalHas("route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4"); }));
    EXPECT_TRUE(eventually([&] { return logged("客户端结束"); }));
}

TEST_F(ServiceHostTest, aStopTakesEveryClientBackBeforeTheHostReturns) {
    ServiceClient client(connector, local);
    ASSERT_TRUE(client.addRoute(kRoute));
    stop();
    // Started before the host returned; the stand-in writes its line when it runs.
    EXPECT_TRUE(eventually([] { return journalHas("route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4"); }));
    EXPECT_EQ(listener.begun, 1);
    // The window finds no service any more.
    EXPECT_FALSE(client.hello().has_value());
}

TEST_F(ServiceHostTest, aFrameAnnouncingMoreThanTheBoundEndsThatClientWhileAnotherIsServed) {
    ServiceClient other(connector, local);
    ASSERT_TRUE(other.hello().has_value());
    auto breaker = connector.connect();
    ASSERT_NE(breaker, nullptr);
    const std::uint32_t length = kMaxMessageBytes + 1;
    ASSERT_TRUE(breaker->send({static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                               static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)}));
    EXPECT_TRUE(eventually([&] { return !breaker->receive(100).has_value(); }));
    EXPECT_TRUE(logged("断开该客户端"));
    EXPECT_TRUE(other.hello().has_value());
    sim::saveConnections({{7, "corvinaltexum"}});
    EXPECT_EQ(other.activeConnections().connections.size(), 1u);
}

TEST_F(ServiceHostTest, aClientThatDoesNotReadIsEndedWhileAnotherIsServed) {
    ServiceClient other(connector, local);
    ASSERT_TRUE(other.hello().has_value());
    auto deaf = connector.connect();
    ASSERT_NE(deaf, nullptr);
    // Greetings without end, their answers never read: the service's writes fill the pipe.
    const Bytes hello = encodeFrame(requestMessage(1, Hello{}));
    Bytes many;
    for (int i = 0; i < 2000; ++i) {
        many.insert(many.end(), hello.begin(), hello.end());
    }
    EXPECT_TRUE(eventually([&] { return !deaf->send(many); }, 60000));
    EXPECT_TRUE(other.hello().has_value());
    EXPECT_TRUE(eventually([&] { return logged("客户端结束"); }));
}

TEST_F(ServiceHostTest, aClientBeyondTheLimitFindsNoInstanceUntilAnotherLeaves) {
    std::vector<std::unique_ptr<ServiceClient>> clients;
    for (std::size_t i = 0; i < kMaxServiceClients; ++i) {
        clients.push_back(std::make_unique<ServiceClient>(connector, local));
        ASSERT_TRUE(clients.back()->hello().has_value()) << i;
    }
    ServiceClient extra(connector, local);
    EXPECT_FALSE(extra.hello().has_value());
    clients.pop_back();
    EXPECT_TRUE(eventually([&] { return extra.hello().has_value(); }));
}

TEST(ServiceAccessPolicy, isTheGroupThePolicyKeyNamesOrNone) {
    Win32Registry registry;
    ASSERT_TRUE(registry.writeString(0x80000002, "SOFTWARE\\Policies\\Velmora\\VPN", "ALLOWEDGROUP", "VPN 用户"));
    EXPECT_EQ(readAccessPolicy(registry).allowedGroup, "VPN 用户");
    ASSERT_TRUE(registry.deleteValue(0x80000002, "SOFTWARE\\Policies\\Velmora\\VPN", "ALLOWEDGROUP"));
    EXPECT_EQ(readAccessPolicy(registry).allowedGroup, "");
}

}  // namespace
}  // namespace velmora
