#include "core/service/service_core.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/profile/conn_profile.h"
#include "core/system/general.h"
#include "tests/fakes/fake_service.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

constexpr RasHandle kLink = 21;

ClientFacts user(const std::string& name, std::uint32_t session = 1) {
    ClientFacts facts;
    facts.user = "PC\\" + name;
    facts.sid = "S-1-5-21-1-2-3-100" + std::to_string(session);
    facts.session = session;
    facts.interactive = true;
    return facts;
}

PolicyRun policy(RuleDirection rule, bool apply) {
    return PolicyRun{rule, apply, "10.10.10.4", "10.8.0.1", "255.255.0.0", "Kq9$Lm2&ey", "ESP-3DES-SHA"};
}

const Route kRoute{"10.8.0.0", "255.255.0.0", "10.10.10.4"};

class ServiceCoreTest : public ::testing::Test, protected testing::FakeService {
protected:
    ServiceCoreTest() {
        version.record = {10, 0, "", 19045};
        // What happens, in order, across the tools and the remote-access service.
        processes.statusOf = [this](const std::string& line) {
            events.push_back(line);
            return std::optional<std::uint32_t>(0u);
        };
        remoteAccess.onHangUp = [this](RasHandle handle) { events.push_back("hang up " + std::to_string(handle)); };
        // The stand-in rasdial: the entry comes up.
        processes.onRun = [this](const std::string&) { remoteAccess.connect(kLink, kEntryName); };
    }

    // The reply to a request, as the client reads it; the service gets the frame as the reader
    // gives it, without its length.
    Message ask(ClientId client, const Request& request) {
        const Bytes sent = encodeFrame(requestMessage(++requests, request));
        const Bytes frame = core.receive(client, Bytes(sent.begin() + 4, sent.end()));
        const auto message = frame.size() > 4 ? decodeMessage(frame.data() + 4, frame.size() - 4) : std::nullopt;
        EXPECT_TRUE(message && message->kind == MessageKind::reply && message->id == requests);
        return message.value_or(Message{});
    }
    static bool done(const Message& reply) { return !reply.numbers.empty() && reply.numbers[0] == 0; }
    static bool refused(const Message& reply) { return !reply.numbers.empty() && reply.numbers[0] == 1; }

    // A client that applied the policy and, when asked, dialled a link up and added a route.
    ClientId sessionOf(const ClientFacts& facts, bool dial, bool route) {
        const ClientId client = core.connect(facts, {});
        EXPECT_TRUE(done(ask(client, policy(RuleDirection::outbound, true))));
        EXPECT_TRUE(done(ask(client, policy(RuleDirection::inbound, true))));
        if (dial) {
            EXPECT_TRUE(done(ask(client, DialRequest{DialPhonebook::l2tp, "vpn.example.com", "alice", "Pw7#qXzJ"})));
            processes.lastShown->runToEnd();
        }
        if (route) {
            EXPECT_TRUE(done(ask(client, kRoute)));
        }
        (void)core.poll();
        return client;
    }

    // Polls as the host does, a tenth of a second apart, until no take-back goes on.
    void takeBackAll() {
        for (int i = 0; i < 2000 && core.takingBack(); ++i) {
            (void)core.poll();
            clock.ticks += 100;
        }
        EXPECT_FALSE(core.takingBack());
    }

    Lines eventsFrom(std::size_t first) const { return Lines(events.begin() + static_cast<long>(first), events.end()); }
    bool logged(const std::string& part) const {
        return std::any_of(logFile.lines.begin(), logFile.lines.end(),
                           [&](const std::string& line) { return line.find(part) != std::string::npos; });
    }

    Lines events;
    std::uint32_t requests = 0;
};

const std::string kWithdrawOutbound =
    "velmora-ipsec -w REG -p \"corvinaltexum\" -r \"windows to zerta\" -f 10.10.10.4/255.255.255.255=10.8.0.0/"
    "255.255.0.0 -n ESP[3DES,SHA]3600s/100000k -a preshare:Kq9$Lm2&ey -t 10.8.0.1 -y";
const std::string kWithdrawInbound =
    "velmora-ipsec -w REG -p \"corvinaltexum\" -r \"zerta to windows\" -f 10.8.0.0/255.255.0.0=10.10.10.4/"
    "255.255.255.255 -n ESP[3DES,SHA]3600s/100000k -a preshare:Kq9$Lm2&ey -t 10.10.10.4 -y";
const std::string kDeleteRoute = "route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4";

TEST_F(ServiceCoreTest, whatAGoneClientMadeIsTakenBackTheLinkFirstThenThePolicyThenTheRoutes) {
    struct Row {
        const char* state;
        bool policy;
        bool dial;
        bool route;
        Lines takenBack;
    };
    const std::vector<Row> rows = {
        {"nothing", false, false, false, {}},
        {"the policy only", true, false, false, {kWithdrawOutbound, kWithdrawInbound}},
        {"the policy and the link", true, true, false, {"hang up 21", kWithdrawOutbound, kWithdrawInbound}},
        {"the policy, the link and a route", true, true, true,
         {"hang up 21", kWithdrawOutbound, kWithdrawInbound, kDeleteRoute}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        remoteAccess.list.connections.clear();
        const ClientId client = row.policy ? sessionOf(user("alice"), row.dial, row.route) : core.connect(user("alice"), {});
        const std::size_t before = events.size();
        const std::uint32_t gone = clock.ticks;
        core.disconnect(client);
        takeBackAll();
        EXPECT_EQ(eventsFrom(before), row.takenBack);
        // The pause between the two lines, and no more than a few seconds in all.
        EXPECT_LE(clock.ticks - gone, 5000u);
        EXPECT_EQ(logged("客户端 PC\\alice 留下的连接、IPSec策略和路由已全部收回"), !row.takenBack.empty());
    }
    EXPECT_TRUE(logged("客户端结束：PC\\alice"));
}

TEST_F(ServiceCoreTest, aDialUnderWayWhenItsClientGoesIsEndedWithTheConnectionItMade) {
    processes.holdDials = true;
    const ClientId client = core.connect(user("alice"), {});
    ASSERT_TRUE(done(ask(client, DialRequest{DialPhonebook::pptp, "vpn.example.com", "alice", "secret"})));
    remoteAccess.connect(kLink, kEntryName);  // the connection is being made
    core.disconnect(client);
    takeBackAll();
    EXPECT_EQ(processes.terminations, 1);
    EXPECT_EQ(remoteAccess.hangUps, std::vector<RasHandle>{kLink});
}

TEST_F(ServiceCoreTest, aClientOfAnotherSessionCannotTouchWhatTheFirstMadeUntilItIsTakenBack) {
    const ClientId alice = sessionOf(user("alice", 1), true, true);
    const ClientId bob = core.connect(user("bob", 2), {});
    EXPECT_TRUE(refused(ask(bob, policy(RuleDirection::outbound, true))));
    EXPECT_TRUE(refused(ask(bob, policy(RuleDirection::outbound, false))));
    EXPECT_TRUE(refused(ask(bob, DialRequest{DialPhonebook::l2tp, "vpn.example.com", "bob", "secret"})));
    EXPECT_TRUE(refused(ask(bob, HangUp{kLink})));
    EXPECT_TRUE(remoteAccess.hangUps.empty());
    // What anyone may ask about the link is answered.
    const Message list = ask(bob, ListConnections{});
    ASSERT_TRUE(done(list));
    EXPECT_EQ(list.texts, Lines{kEntryName});
    EXPECT_TRUE(logged("拒绝 PC\\bob 的请求"));

    core.disconnect(alice);
    takeBackAll();
    EXPECT_TRUE(done(ask(bob, policy(RuleDirection::outbound, true))));
}

TEST_F(ServiceCoreTest, aRefusedClientHearsWhyOnHelloAndOnEveryRequestAndNothingRuns) {
    ClientFacts outsider = user("carol");
    const ClientId client = core.connect(outsider, AccessPolicy{"VPN Users"});
    const Message hello = ask(client, Hello{});
    ASSERT_TRUE(done(hello));
    EXPECT_EQ(hello.numbers.at(1), 0u);
    EXPECT_NE(hello.texts.at(0).find("VPN Users"), std::string::npos);
    for (const Request& request : std::vector<Request>{policy(RuleDirection::outbound, true), kRoute, ListConnections{},
                                                       SetL2tpSwitch{}}) {
        const Message reply = ask(client, request);
        EXPECT_TRUE(refused(reply));
        EXPECT_EQ(reply.texts, hello.texts);
    }
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(registry.writes, 0);
    EXPECT_TRUE(logged("拒绝客户端：PC\\carol"));
}

TEST_F(ServiceCoreTest, badValuesAndUnreadableRequestsAreRefusedLoggedWithoutASecretAndTheClientGoesOn) {
    const ClientId client = core.connect(user("alice"), {});
    PolicyRun hostile = policy(RuleDirection::outbound, true);
    hostile.local = "10.10.10.4 & calc";
    EXPECT_TRUE(refused(ask(client, hostile)));
    const Bytes garbage = {1, 2, 3};
    const Bytes answer = core.receive(client, garbage);
    const auto malformed = decodeMessage(answer.data() + 4, answer.size() - 4);
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->numbers.at(0), static_cast<std::uint32_t>(ReplyStatus::malformed));
    EXPECT_TRUE(events.empty()) << "nothing ran";
    EXPECT_TRUE(logged("无法读懂 PC\\alice 的请求，已拒绝"));

    EXPECT_TRUE(done(ask(client, policy(RuleDirection::outbound, true))));
    EXPECT_TRUE(done(ask(client, DialRequest{DialPhonebook::l2tp, "vpn.example.com", "alice", "Pw7#qXzJ"})));
    for (const std::string& line : logFile.lines) {
        EXPECT_EQ(line.find("Kq9$Lm2&ey"), std::string::npos) << line;
        EXPECT_EQ(line.find("Pw7#qXzJ"), std::string::npos) << line;
    }
    EXPECT_TRUE(logged("为 PC\\alice 拨号：服务器 vpn.example.com"));
}

TEST_F(ServiceCoreTest, aRunsEndGoesToItsClientAndOnlyItsClientMayEndIt) {
    processes.holdDials = true;
    const ClientId alice = core.connect(user("alice"), {});
    const ClientId bob = core.connect(user("bob", 2), {});
    const Message dial = ask(alice, DialRequest{DialPhonebook::l2tp, "vpn.example.com", "alice", "secret"});
    ASSERT_TRUE(done(dial));
    const std::uint32_t run = dial.numbers.at(1);
    ASSERT_NE(run, 0u);
    EXPECT_EQ(dial.texts.at(0), "C:\\Program Files\\Velmora\\ipsec.pbk");
    EXPECT_TRUE(core.poll().empty());

    EXPECT_TRUE(done(ask(bob, EndRun{run})));
    EXPECT_TRUE(core.poll().empty()) << "another client's run goes on";
    EXPECT_TRUE(done(ask(alice, EndRun{run})));
    const std::vector<Outgoing> out = core.poll();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].client, alice);
    const auto ended = decodeMessage(out[0].frame.data() + 4, out[0].frame.size() - 4);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->kind, MessageKind::runEnded);
    EXPECT_EQ(ended->id, run);
    EXPECT_EQ(ended->numbers, std::vector<std::uint32_t>{1223});
}

TEST_F(ServiceCoreTest, theOldSettingsGoOnlyToAnAdministratorAndTheOldTaskOnlyForTheAskersOwnUser) {
    files.files["C:\\l2tpipsec.ini"] = "corvinaltexum\r\n203.0.113.10\r\n";
    const ClientId user1 = core.connect(user("alice"), {});
    EXPECT_TRUE(refused(ask(user1, OldSettings{'C', false})));
    EXPECT_TRUE(refused(ask(user1, OldSettings{'C', true})));
    EXPECT_TRUE(folder.removed.empty());

    ClientFacts administrator = user("admin", 3);
    administrator.administrator = true;
    const ClientId admin = core.connect(administrator, {});
    const Message old = ask(admin, OldSettings{'C', false});
    ASSERT_TRUE(done(old));
    EXPECT_EQ(old.texts, (Lines{"corvinaltexum", "203.0.113.10"}));
    EXPECT_TRUE(done(ask(admin, OldSettings{'C', true})));
    EXPECT_EQ(folder.removed, (Lines{"C:\\l2tpipsec.ini", "C:\\ipsec.pbk", "C:\\pptp.pbk"}));

    tasks.tasks["\\Velmora VPN\\" + user("alice").sid] = "<Task/>";
    tasks.tasks["\\Velmora VPN\\" + administrator.sid] = "<Task/>";
    const Message removed = ask(user1, RemoveOldLogonTask{});
    EXPECT_EQ(removed.numbers.at(1), 1u);
    EXPECT_EQ(tasks.tasks.size(), 1u);
    EXPECT_EQ(tasks.tasks.count("\\Velmora VPN\\" + administrator.sid), 1u) << "another user's task stays";
}

// Where the old tools store the rule (Windows 2000 and XP) the service closes its key once a line
// of an apply ended well; velmora-ipsec, from Vista on, closes it itself.
TEST_F(ServiceCoreTest, aRuleTheOldToolsStoredIsClosedToOtherUsersOnceItsLineEnded) {
    const std::string store = "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\Policy\\Local";
    const std::string rule = store + "\\ipsecNFA{11}";
    for (const std::uint32_t major : {5u, 10u}) {
        SCOPED_TRACE(major);
        version.record = {major, 1, "Service Pack 3", 2600};
        registry.keys.clear();
        registry.setString(kHkeyLocalMachine, rule, "ipsecName", "windows to zerta");
        const ClientId client = core.connect(user("alice"), {});
        ASSERT_TRUE(done(ask(client, policy(RuleDirection::outbound, true))));
        (void)core.poll();
        EXPECT_EQ(registry.key(kHkeyLocalMachine, rule).closed, major == 5u);
        core.disconnect(client);
        takeBackAll();
    }
}

TEST_F(ServiceCoreTest, theServiceStoppingTakesBackEveryClient) {
    sessionOf(user("alice", 1), true, false);
    const ClientId bob = core.connect(user("bob", 2), {});
    ASSERT_TRUE(done(ask(bob, kRoute)));
    core.disconnectAll();
    takeBackAll();
    EXPECT_NE(std::find(events.begin(), events.end(), kWithdrawInbound), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), kDeleteRoute), events.end());
    EXPECT_EQ(remoteAccess.hangUps, std::vector<RasHandle>{kLink});
}

// The host waits on the handles the core gives between polls: a program that has ended is no
// longer among them, or every wait would wake at once (here, for the whole pause between the two
// lines of a withdrawal).
TEST_F(ServiceCoreTest, aTakeBackGivesNoHandleOfAWithdrawalThatHasEndedToWaitOn) {
    const ClientId client = core.connect(user("alice"), {});
    ASSERT_TRUE(done(ask(client, policy(RuleDirection::outbound, true))));
    (void)core.poll();
    core.disconnect(client);
    (void)core.poll();
    ASSERT_TRUE(core.takingBack());
    ASSERT_EQ(events.back(), kWithdrawOutbound);
    EXPECT_TRUE(core.waitHandles().empty()) << "an ended program's handle wakes every wait at once";
    clock.ticks += kTakeBackPolicyPauseMs;
    (void)core.poll();
    EXPECT_EQ(events.back(), kWithdrawInbound);
    EXPECT_FALSE(core.takingBack());
}

// Every reply decodes within the channel's bounds: an earlier version's settings file too long
// for one is answered as none rather than in a frame that would break the client's stream.
TEST_F(ServiceCoreTest, anOldSettingsFileTooBigForAReplyIsAnsweredAsNone) {
    ClientFacts administrator = user("admin");
    administrator.administrator = true;
    const ClientId client = core.connect(administrator, {});
    std::string manyLines;
    for (int i = 0; i < 20; ++i) {
        manyLines += std::string(1000, 'b') + "\r\n";
    }
    for (const std::string& bytes : {std::string(kMaxTextBytes + 1, 'a') + "\r\n", manyLines}) {
        files.files["C:\\l2tpipsec.ini"] = bytes;
        const Message reply = ask(client, OldSettings{'C', false});
        EXPECT_EQ(reply.numbers, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(ReplyStatus::done), 0}));
        EXPECT_TRUE(reply.texts.empty());
    }
    files.files["C:\\l2tpipsec.ini"] = "vpn.example.com\r\n" + std::string(kMaxTextBytes, 'c') + "\r\n";
    EXPECT_EQ(ask(client, OldSettings{'C', false}).texts, (Lines{"vpn.example.com", std::string(kMaxTextBytes, 'c')}));
}

}  // namespace
}  // namespace velmora
