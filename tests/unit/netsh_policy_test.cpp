#include "core/ipsec/netsh_policy.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/ipsec/policy_store.h"
#include "core/ipsec/policy_tool.h"
#include "core/system/general.h"
#include "tests/fakes/fake_registry.h"

namespace velmora {
namespace {

using Args = std::vector<std::string>;
using Lines = std::vector<std::string>;

// The two lines of the worked example (local 10.10.10.4, peer 10.0.0.0, mask 255.255.0.0,
// ESP-3DES-SHA, key sharedkey1), split into arguments as Windows splits them.
Args outboundArgs(const std::string& active = "-x") {
    return {"-w", "REG", "-p", "corvinaltexum", "-r", "windows to zerta", "-f",
            "10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0", "-n", "ESP[3DES,SHA]3600s/100000k", "-a",
            "preshare:sharedkey1", "-t", "10.0.0.0", active};
}

Args inboundArgs(const std::string& active = "-x") {
    return {"-w", "REG", "-p", "corvinaltexum", "-r", "zerta to windows", "-f",
            "10.0.0.0/255.255.0.0=10.10.10.4/255.255.255.255", "-n", "ESP[3DES,SHA]3600s/100000k", "-a",
            "preshare:sharedkey1", "-t", "10.10.10.4", active};
}

Args with(Args args, const std::string& option, const std::string& value) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == option) {
            args[i + 1] = value;
        }
    }
    return args;
}

Lines lines(const Args& args) {
    const auto request = parsePolicyArguments(args);
    Lines result;
    if (!request) {
        ADD_FAILURE() << "arguments refused";
        return result;
    }
    for (const NetshStep& step : netshSteps(*request)) {
        result.push_back(step.commandLine);
    }
    return result;
}

TEST(NetshSteps, workedExampleOutboundApply) {
    EXPECT_EQ(lines(outboundArgs()),
              (Lines{
                  "netsh ipsec static delete rule name=\"windows to zerta\" policy=corvinaltexum",
                  "netsh ipsec static delete filterlist name=\"windows to zerta\"",
                  "netsh ipsec static delete filteraction name=\"windows to zerta\"",
                  "netsh ipsec static add policy name=corvinaltexum activatedefaultrule=no assign=no",
                  "netsh ipsec static add filterlist name=\"windows to zerta\"",
                  "netsh ipsec static add filter filterlist=\"windows to zerta\" srcaddr=10.10.10.4 "
                  "srcmask=255.255.255.255 dstaddr=10.0.0.0 dstmask=255.255.0.0 protocol=ANY mirrored=no",
                  "netsh ipsec static add filteraction name=\"windows to zerta\" qmpfs=no inpass=no soft=no "
                  "action=negotiate qmsecmethods=ESP[3DES,SHA1]:100000k/3600s",
                  "netsh ipsec static add rule name=\"windows to zerta\" policy=corvinaltexum "
                  "filterlist=\"windows to zerta\" filteraction=\"windows to zerta\" tunnel=10.0.0.0 conntype=all "
                  "activate=yes kerberos=no psk=sharedkey1",
                  "netsh ipsec static set policy name=corvinaltexum assign=yes",
              }));
}

TEST(NetshSteps, workedExampleInboundApply) {
    EXPECT_EQ(lines(inboundArgs()),
              (Lines{
                  "netsh ipsec static delete rule name=\"zerta to windows\" policy=corvinaltexum",
                  "netsh ipsec static delete filterlist name=\"zerta to windows\"",
                  "netsh ipsec static delete filteraction name=\"zerta to windows\"",
                  "netsh ipsec static add policy name=corvinaltexum activatedefaultrule=no assign=no",
                  "netsh ipsec static add filterlist name=\"zerta to windows\"",
                  "netsh ipsec static add filter filterlist=\"zerta to windows\" srcaddr=10.0.0.0 "
                  "srcmask=255.255.0.0 dstaddr=10.10.10.4 dstmask=255.255.255.255 protocol=ANY mirrored=no",
                  "netsh ipsec static add filteraction name=\"zerta to windows\" qmpfs=no inpass=no soft=no "
                  "action=negotiate qmsecmethods=ESP[3DES,SHA1]:100000k/3600s",
                  "netsh ipsec static add rule name=\"zerta to windows\" policy=corvinaltexum "
                  "filterlist=\"zerta to windows\" filteraction=\"zerta to windows\" tunnel=10.10.10.4 conntype=all "
                  "activate=yes kerberos=no psk=sharedkey1",
                  "netsh ipsec static set policy name=corvinaltexum assign=yes",
              }));
}

TEST(NetshSteps, aWithdrawalUnassignsThenDeletesTheRuleAndItsKey) {
    for (const auto& [apply, withdraw] : {std::pair{outboundArgs("-x"), outboundArgs("-y")},
                                          std::pair{inboundArgs("-x"), inboundArgs("-y")}}) {
        const Lines applied = lines(apply);
        Lines expected = {applied[3], "netsh ipsec static set policy name=corvinaltexum assign=no"};
        expected.insert(expected.end(), applied.begin(), applied.begin() + 3);  // the three deletions
        EXPECT_EQ(lines(withdraw), expected);
        for (const std::string& line : lines(withdraw)) {
            EXPECT_EQ(line.find("psk="), std::string::npos) << line;
        }
    }
}

TEST(NetshSteps, eachSuiteHasItsQuickModeMethod) {
    const std::vector<std::pair<std::string, std::string>> suites = {
        {"ESP[DES,NONE]", "ESP[DES,None]"},   {"ESP[3DES,NONE]", "ESP[3DES,None]"}, {"ESP[DES,MD5]", "ESP[DES,MD5]"},
        {"ESP[3DES,MD5]", "ESP[3DES,MD5]"},   {"ESP[DES,SHA]", "ESP[DES,SHA1]"},   {"ESP[3DES,SHA]", "ESP[3DES,SHA1]"},
    };
    for (const auto& [transform, method] : suites) {
        const Lines steps = lines(with(outboundArgs(), "-n", transform + "3600s/100000k"));
        ASSERT_EQ(steps.size(), 9u) << transform;
        EXPECT_EQ(steps[6],
                  "netsh ipsec static add filteraction name=\"windows to zerta\" qmpfs=no inpass=no soft=no "
                  "action=negotiate qmsecmethods=" + method + ":100000k/3600s");
    }
}

TEST(NetshSteps, everyAddressTheWindowTakesIsStoredAsFourPlainNumbers) {
    Args args = with(outboundArgs(), "-f", "10.10.10. 4/255.255.255.255=+10.0.0.0/255.255.000.0");
    args = with(args, "-t", "010.0.0.1.5");
    const Lines steps = lines(args);
    ASSERT_EQ(steps.size(), 9u);
    EXPECT_EQ(steps[5],
              "netsh ipsec static add filter filterlist=\"windows to zerta\" srcaddr=10.10.10.4 srcmask=255.255.255.255 "
              "dstaddr=10.0.0.0 dstmask=255.255.0.0 protocol=ANY mirrored=no");
    EXPECT_NE(steps[7].find(" tunnel=10.0.0.2 "), std::string::npos) << steps[7];
}

TEST(NetshSteps, valuesWithBlanksOrQuotesStayOneArgument) {
    Args args = with(outboundArgs(), "-a", "preshare:a \"shared\" key");
    args = with(args, "-p", "corvin altexum");
    const Lines steps = lines(args);
    EXPECT_EQ(steps[3], "netsh ipsec static add policy name=\"corvin altexum\" activatedefaultrule=no assign=no");
    EXPECT_EQ(steps[7],
              "netsh ipsec static add rule name=\"windows to zerta\" policy=\"corvin altexum\" "
              "filterlist=\"windows to zerta\" filteraction=\"windows to zerta\" tunnel=10.0.0.0 conntype=all "
              "activate=yes kerberos=no psk=\"a \\\"shared\\\" key\"");
    EXPECT_EQ(steps[8], "netsh ipsec static set policy name=\"corvin altexum\" assign=yes");
}

TEST(ParsePolicyArguments, refusesWhatItCannotMakeSenseOf) {
    const std::vector<Args> refused = {
        {},
        with(outboundArgs(), "-w", "DS:example.com"),              // another store
        with(outboundArgs(), "-p", ""),                              // no policy
        [] { Args a = outboundArgs(); a.pop_back(); return a; }(),  // neither -x nor -y
        [] { Args a = outboundArgs(); a.push_back("-y"); return a; }(),  // both
        [] { Args a = outboundArgs(); a.push_back("-q"); return a; }(),  // an unknown option
        [] { Args a = outboundArgs(); a.insert(a.end() - 1, {"-t", "10.0.0.1"}); return a; }(),  // twice
        Args{"-w", "REG", "-p"},                                     // a value missing
        with(outboundArgs(), "-r", ""),
        with(outboundArgs(), "-f", "10.10.10.4/255.255.255.255+10.0.0.0/255.255.0.0"),  // mirrored
        with(outboundArgs(), "-f", "10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0:80"),  // a port
        with(outboundArgs(), "-f", "10.10.10.4/255.255.255.255=0.0.0.0/255.255.x.0"),  // an invalid mask
        with(outboundArgs(), "-f", "10.10.10.4=10.0.0.0/255.255.0.0"),  // no mask
        with(outboundArgs(), "-n", "3600s/100000k"),                 // an unknown suite leaves no transform
        with(outboundArgs(), "-n", "ESP[AES,SHA]3600s/100000k"),
        with(outboundArgs(), "-n", "ESP[3DES,SHA]3600s/100000kPFS"),
        with(outboundArgs(), "-n", "AH[MD5]3600s/100000k"),
        with(outboundArgs(), "-a", "kerberos"),
        with(outboundArgs(), "-a", "preshare:"),
        with(outboundArgs(), "-t", "gateway.example.com"),
    };
    for (const Args& args : refused) {
        EXPECT_FALSE(parsePolicyArguments(args).has_value()) << ::testing::PrintToString(args);
    }
}

// Answers each netsh line with the status a test gives its verb, recording the lines.
class ScriptedTools : public ToolRunner {
public:
    int runHidden(const std::string& commandLine) override {
        ran.push_back(commandLine);
        for (const auto& [start, status] : answers) {
            if (commandLine.rfind("netsh ipsec static " + start, 0) == 0) {
                return status;
            }
        }
        return 0;
    }

    std::vector<std::pair<std::string, int>> answers;
    Lines ran;
};

TEST(RunPolicyTool, missingOrExistingObjectsOfTheFirstStepsDoNotMatter) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    tools.answers = {{"delete", 1}, {"add policy", 1}};
    EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), 0);
    EXPECT_EQ(tools.ran.size(), 9u);
}

TEST(RunPolicyTool, anApplyStopsAtTheFirstRequiredFailureAndNeverAssigns) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    tools.answers = {{"add filteraction", 5}, {"add rule", 6}};
    EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), 5);
    const Lines all = lines(outboundArgs());
    EXPECT_EQ(tools.ran, Lines(all.begin(), all.begin() + 7));
}

TEST(RunPolicyTool, aWithdrawalRunsOnWhateverTheStepsAnswer) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    tools.answers = {{"set policy", 5}, {"delete rule", 1}, {"delete filterlist", 1}};
    EXPECT_EQ(runPolicyTool(outboundArgs("-y"), tools, registry), 5);
    EXPECT_EQ(tools.ran, lines(outboundArgs("-y")));
    EXPECT_EQ(tools.ran.back(), "netsh ipsec static delete filteraction name=\"windows to zerta\"");
}

// The rule netsh stored, with its key, lies where every user may read: an apply that stored it
// closes its key; nothing else in the store, and nothing after a failure or a withdrawal.
TEST(RunPolicyTool, anApplyThatStoredTheRuleClosesItsKeyAndNoOther) {
    const std::string store = "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\Policy\\Local";
    const std::string ours = store + "\\ipsecNFA{11}";
    const std::string other = store + "\\ipsecNFA{22}";
    const std::string list = store + "\\ipsecFilter{33}";
    struct Row {
        const char* what;
        const char* active;
        std::vector<std::pair<std::string, int>> answers;
        bool closed;
    };
    const Row rows[] = {
        {"an apply that worked", "-x", {}, true},
        {"an apply whose rule was refused", "-x", {{"add rule", 1}}, false},
        {"a withdrawal", "-y", {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        testing::FakeRegistry registry;
        registry.setString(kHkeyLocalMachine, ours, "ipsecName", "windows to zerta");
        registry.setString(kHkeyLocalMachine, other, "ipsecName", "办公室规则");
        registry.setString(kHkeyLocalMachine, list, "ipsecName", "windows to zerta");
        ScriptedTools tools;
        tools.answers = row.answers;
        (void)runPolicyTool(outboundArgs(row.active), tools, registry);
        EXPECT_EQ(registry.key(kHkeyLocalMachine, ours).closed, row.closed);
        EXPECT_FALSE(registry.key(kHkeyLocalMachine, other).closed);
        EXPECT_FALSE(registry.key(kHkeyLocalMachine, list).closed);
    }
}

TEST(RunPolicyTool, argumentsItCannotReadRunNothingAndFail) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    EXPECT_EQ(runPolicyTool({"-w", "REG", "-x"}, tools, registry), kBadPolicyArguments);
    EXPECT_EQ(runPolicyTool(with(outboundArgs(), "-n", "3600s/100000k"), tools, registry), kBadPolicyArguments);
    EXPECT_TRUE(tools.ran.empty());
}

TEST(RunPolicyTool, aWithdrawalWithAnUnreadableRuleUnassignsAndStillFails) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    EXPECT_EQ(runPolicyTool(with(outboundArgs("-y"), "-n", "3600s/100000k"), tools, registry), kBadPolicyArguments);
    EXPECT_EQ(tools.ran, Lines{"netsh ipsec static set policy name=corvinaltexum assign=no"});
}

TEST(RunPolicyTool, theLocalPolicyAssignedBeforeIsAssignedAgainWhenOursIsWithdrawn) {
    ScriptedTools tools;
    testing::FakeRegistry registry;
    const std::string store = "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\Policy\\Local";
    const std::string office = store + "\\ipsecPolicy{0f1e}";
    const std::string ours = store + "\\ipsecPolicy{7a2b}";
    registry.setString(kHkeyLocalMachine, office, "ipsecName", "办公室策略");
    registry.setString(kHkeyLocalMachine, ours, "ipsecName", "corvinaltexum");
    registry.setString(kHkeyLocalMachine, store, "ActivePolicy", office);

    // Both rules' runs of an apply: the second finds ours assigned and keeps what the first saw.
    EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), 0);
    registry.setString(kHkeyLocalMachine, store, "ActivePolicy", ours);
    EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), 0);
    tools.ran.clear();

    // The withdrawal unassigns ours, then assigns the other again, once.
    EXPECT_EQ(runPolicyTool(outboundArgs("-y"), tools, registry), 0);
    EXPECT_EQ(runPolicyTool(outboundArgs("-y"), tools, registry), 0);
    const Lines once = {"netsh ipsec static delete filteraction name=\"windows to zerta\"",
                        "netsh ipsec static set policy name=办公室策略 assign=yes"};
    EXPECT_EQ(Lines(tools.ran.end() - 7, tools.ran.end() - 5), once);
    EXPECT_EQ(tools.ran.back(), once[0]);
    EXPECT_FALSE(registry.readString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore).has_value());
}

// What the record of the displaced policy leads to, across an apply (both rules' runs) and a
// withdrawal (both runs), with what an administrator did meanwhile.
struct RecordCase {
    const char* name;
    const char* assignedAtApply;      // the local policy assigned before the apply; "" for none
    const char* staleRecord;          // a record left from an earlier session; nullptr for none
    bool recordWritable;
    const char* assignedAtWithdrawal;  // assigned just before the withdrawal; "ours" for ours
    int applyStatus;
    bool givenBack;  // 办公室策略 is assigned again by the withdrawal
};

TEST(RunPolicyTool, theRecordOfTheDisplacedPolicyGivesItBackOnlyInPlaceOfOurs) {
    const RecordCase cases[] = {
        {"displaced and given back", "办公室策略", nullptr, true, "ours", 0, true},
        {"none displaced: a stale record is replaced", "", "办公室策略", true, "ours", 0, false},
        {"an administrator's own assignment stays", "办公室策略", nullptr, true, "管理员策略", 0, false},
        {"no record, no apply", "办公室策略", nullptr, false, "办公室策略", kPolicyNotRecorded, false},
    };
    const std::string store = "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\Policy\\Local";
    for (const RecordCase& c : cases) {
        ScriptedTools tools;
        testing::FakeRegistry registry;
        for (const char* name : {"办公室策略", "管理员策略", "corvinaltexum"}) {
            registry.setString(kHkeyLocalMachine, store + "\\" + name, "ipsecName", name);
        }
        const auto assign = [&](const std::string& name) {
            registry.setString(kHkeyLocalMachine, store, "ActivePolicy", name.empty() ? "" : store + "\\" + name);
        };
        assign(c.assignedAtApply);
        if (c.staleRecord != nullptr) {
            registry.setString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore, c.staleRecord);
        }
        registry.key(kHkeyLocalMachine, kVelmoraKey).writable = c.recordWritable;

        EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), c.applyStatus) << c.name;
        if (c.applyStatus != 0) {
            EXPECT_TRUE(tools.ran.empty()) << c.name;
            continue;
        }
        assign("corvinaltexum");
        EXPECT_EQ(runPolicyTool(outboundArgs(), tools, registry), 0) << c.name;
        EXPECT_EQ(registry.readString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore),
                  std::optional<std::string>(c.assignedAtApply))
            << c.name;

        assign(std::string(c.assignedAtWithdrawal) == "ours" ? "corvinaltexum" : c.assignedAtWithdrawal);
        tools.ran.clear();
        EXPECT_EQ(runPolicyTool(outboundArgs("-y"), tools, registry), 0) << c.name;
        EXPECT_EQ(runPolicyTool(outboundArgs("-y"), tools, registry), 0) << c.name;
        const auto givenBack = std::count(tools.ran.begin(), tools.ran.end(),
                                          "netsh ipsec static set policy name=办公室策略 assign=yes");
        EXPECT_EQ(givenBack, c.givenBack ? 1 : 0) << c.name;
        EXPECT_FALSE(registry.readString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore).has_value()) << c.name;
    }
}

}  // namespace
}  // namespace velmora
