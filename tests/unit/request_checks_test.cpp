#include "core/service/request_checks.h"

#include <gtest/gtest.h>

#include "core/service/client_decision.h"
#include "core/service/operations_choice.h"

namespace velmora {
namespace {

PolicyRun goodRun() {
    return PolicyRun{RuleDirection::outbound, true, "10.10.10.4", "10.8.0.1", "255.255.0.0", "shared key", "ESP-3DES-SHA"};
}

struct Row {
    const char* what;
    Request request;
    const char* tool;
    bool refused;
};

TEST(RequestChecks, eachOperationTakesTheWindowsValuesAndRefusesHostileOnes) {
    const auto run = [](auto change) {
        PolicyRun r = goodRun();
        change(r);
        return r;
    };
    const auto dial = [](std::string server, std::string user, std::string password) {
        return DialRequest{DialPhonebook::l2tp, std::move(server), std::move(user), std::move(password)};
    };
    const std::vector<Row> rows = {
        {"a good apply", goodRun(), "velmora-ipsec", false},
        {"a key with its blanks, as typed", run([](PolicyRun& r) { r.presharedKey = "  abcd  "; }), "ipseccmd", false},
        {"a key of blanks", run([](PolicyRun& r) { r.presharedKey = "        "; }), "ipseccmd", true},
        {"a key too short", run([](PolicyRun& r) { r.presharedKey = "abcde"; }), "ipseccmd", true},
        {"a key too long", run([](PolicyRun& r) { r.presharedKey = std::string(129, 'k'); }), "ipseccmd", true},
        {"a key of 128 characters", run([](PolicyRun& r) { r.presharedKey = std::string(128, 'k'); }), "ipseccmd",
         false},
        {"a key across two lines", run([](PolicyRun& r) { r.presharedKey = "line one\r\n-x"; }), "ipseccmd", true},
        {"a quote in the key for netsh", run([](PolicyRun& r) { r.presharedKey = "ab\"cdef"; }), "velmora-ipsec", true},
        {"a quote in the key for ipseccmd", run([](PolicyRun& r) { r.presharedKey = "ab\"cdef"; }), "ipseccmd", false},
        {"a network out of range", run([](PolicyRun& r) { r.peer = "10.8.0.256"; }), "ipseccmd", true},
        {"a mask that is no address", run([](PolicyRun& r) { r.peerMask = "255.255.0"; }), "ipseccmd", true},
        {"a command after the address", run([](PolicyRun& r) { r.local = "10.10.10.4 & calc"; }), "ipseccmd", true},
        {"an overlong address", run([](PolicyRun& r) { r.local = std::string(60, ' ') + "10.10.10.4"; }), "ipseccmd",
         true},
        {"an unknown suite", run([](PolicyRun& r) { r.suite = "ESP-AES256-SHA"; }), "ipseccmd", true},
        {"a good dial", dial("vpn.example.com", "李娜", "secret"), "ipseccmd", false},
        {"a server with a quote", dial("vpn.example.com\" /PHONEBOOK:x", "u", "p"), "ipseccmd", true},
        {"a server with an ampersand", dial("vpn&calc", "u", "p"), "ipseccmd", true},
        {"a server with leading zeros", dial("010.0.0.1", "u", "p"), "ipseccmd", true},
        {"a user name too long", dial("10.0.0.1", std::string(257, 'u'), "p"), "ipseccmd", true},
        {"a password with the hardware code", dial("10.0.0.1", "u", std::string(268, 'p')), "ipseccmd", false},
        {"a password too long", dial("10.0.0.1", "u", std::string(269, 'p')), "ipseccmd", true},
        {"a password across two lines", dial("10.0.0.1", "u", "pass\nword"), "ipseccmd", true},
        {"a good route", Route{"10.8.0.0", "255.255.0.0", "10.10.10.4"}, "ipseccmd", false},
        {"a route for a host, not a network", Route{"10.8.0.1", "255.255.0.0", "10.10.10.4"}, "ipseccmd", true},
        {"a route through no address", Route{"10.8.0.0", "255.255.0.0", "tunnel"}, "ipseccmd", true},
        {"a question", ConnectionQuery{MessageKind::connectionGone, 5}, "ipseccmd", false},
    };
    for (const Row& row : rows) {
        const auto why = checkRequest(row.request, row.tool);
        EXPECT_EQ(why.has_value(), row.refused) << row.what << (why ? ": " + *why : "");
    }
}

struct DecisionRow {
    const char* what;
    ClientFacts facts;
    const char* allowedGroup;
    bool served;
};

ClientFacts facts(bool administrator, bool interactive, bool member = false) {
    ClientFacts f;
    f.user = "PC\\alice";
    f.administrator = administrator;
    f.interactive = interactive;
    f.inAllowedGroup = member;
    return f;
}

TEST(ClientDecision, servesUsersAtThisComputerAndAdministratorsWithinTheAdministratorsLimit) {
    ClientFacts remoteAdministrator = facts(true, false);
    remoteAdministrator.remote = true;
    ClientFacts sandboxed = facts(false, true, true);
    sandboxed.lowIntegrity = true;
    ClientFacts otherSession = facts(false, true);
    otherSession.session = 2;
    const std::vector<DecisionRow> rows = {
        {"an interactive user", facts(false, true), "", true},
        {"a user of another session", otherSession, "", true},
        {"an administrator whose rights are not raised", facts(true, true), "VPN Users", true},
        {"an administrator who is not logged on here", facts(true, false), "", true},
        {"a member of the group", facts(false, true, true), "VPN Users", true},
        {"a user outside the group", facts(false, true, false), "VPN Users", false},
        {"a user not logged on at this computer", facts(false, false), "", false},
        {"a client from another computer, administrator or not", remoteAdministrator, "", false},
        {"a sandboxed program", sandboxed, "VPN Users", false},
    };
    for (const DecisionRow& row : rows) {
        const ClientDecision decision = decideClient(row.facts, AccessPolicy{row.allowedGroup});
        EXPECT_EQ(decision.served, row.served) << row.what;
        EXPECT_EQ(decision.refusal.empty(), row.served) << row.what;
    }
    EXPECT_NE(decideClient(facts(false, true), AccessPolicy{"VPN Users"}).refusal.find("VPN Users"),
              std::string::npos)
        << "the refusal names the group to ask about";
}

TEST(OperationsChoice, theServiceWhereItServesElseOwnRightsElseAnOfferToRaiseThem) {
    const ClientDecision served{true, {}};
    const ClientDecision refused{false, "管理员设定只有组“VPN Users”的成员可以使用 Velmora VPN，您不在其中。"};
    struct Row {
        const char* what;
        std::optional<ClientDecision> service;
        bool administrator;
        OperationsWay way;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"a service that serves", served, false, OperationsWay::service, ""},
        {"a service that serves an administrator too", served, true, OperationsWay::service, ""},
        {"a service that refuses, also an administrator", refused, true, OperationsWay::refused, refused.refusal},
        {"no service, an administrator", std::nullopt, true, OperationsWay::ownProcess, ""},
        {"no service, a standard user", std::nullopt, false, OperationsWay::offerElevation, kServiceMissing},
    };
    for (const Row& row : rows) {
        const OperationsChoice choice = chooseOperations(row.service, row.administrator);
        EXPECT_EQ(choice.way, row.way) << row.what;
        EXPECT_EQ(choice.message, row.message) << row.what;
    }
}

}  // namespace
}  // namespace velmora
