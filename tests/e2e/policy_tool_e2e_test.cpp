// velmora-ipsec.exe under Wine with the stand-in netsh beside it, started with the very lines
// velmora.exe composes: the netsh steps it runs are read back from the journal, the policy they
// leave from the stand-in's store.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ipsec/policy_commands.h"
#include "core/profile/conn_profile.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "sim/sim_state.h"
#include "tests/e2e/velmora_app.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;
using testing::TempFolder;
using testing::netshStepsFor;

ConnProfile workedExample() {
    ConnProfile p = designTimeProfile();  // local 10.10.10.4, peer 10.0.0.0, mask 255.255.0.0
    p.comalg = "ESP-3DES-SHA";
    p.txtpreshare = "sharedkey1";
    return p;
}

class PolicyToolEndToEnd : public ::testing::Test {
protected:
    PolicyToolEndToEnd() {
        for (const wchar_t* name : {L"velmora-ipsec.exe", L"netsh.exe"}) {
            const std::wstring from = widen(VELMORA_PROGRAMS_DIR) + L"\\" + name;
            EXPECT_TRUE(CopyFileW(from.c_str(), program.file(name).c_str(), FALSE));
        }
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
    }
    ~PolicyToolEndToEnd() override { SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr); }

    // Starts a line of velmora.exe's ("velmora-ipsec -w REG ...") as it would, from the folder
    // of the program, and returns the process.
    HANDLE start(const std::string& line) {
        std::wstring command = widen(line);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(program.file(L"velmora-ipsec.exe").c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, program.path().c_str(), &startup, &info)) {
            ADD_FAILURE() << "cannot start " << line;
            return nullptr;
        }
        CloseHandle(info.hThread);
        return info.hProcess;
    }

    // Runs the line to its end; its exit status.
    DWORD run(const std::string& line) {
        const UniqueHandle process(start(line));
        DWORD status = 9999;
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &status)) {
            ADD_FAILURE() << "no end to " << line;
        }
        return status;
    }

    PolicyLines lines(const ConnProfile& profile, const char* active) const {
        return policyLines(profile, "velmora-ipsec", active);
    }

    TempFolder program;
    TempFolder sim;
};

TEST_F(PolicyToolEndToEnd, aKeyWithBlanksAndQuotesArrivesWhole) {
    ConnProfile p = workedExample();
    p.txtpreshare = "a \"shared\" key\\";
    const PolicyLines apply = lines(p, kPolicyOn);
    EXPECT_EQ(run(apply.outbound), 0u);
    const sim::StoredRule* rule = sim::loadIpsecStore().rule("corvinaltexum", "windows to zerta");
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->psk, "a \"shared\" key\\");
}

// A withdrawal, whether anything was applied or not, succeeds and leaves an unassigned policy and
// no rule: the store every user may read keeps no key once the policy is withdrawn.
TEST_F(PolicyToolEndToEnd, aWithdrawalLeavesAnUnassignedPolicyAndNoRuleNoKey) {
    for (const bool applied : {false, true}) {
        SCOPED_TRACE(applied);
        if (applied) {
            const PolicyLines apply = lines(workedExample(), kPolicyOn);
            ASSERT_EQ(run(apply.outbound), 0u);
            ASSERT_EQ(run(apply.inbound), 0u);
            ASSERT_EQ(sim::loadIpsecStore().rules.size(), 2u);
        }
        const PolicyLines withdraw = lines(workedExample(), kPolicyOff);
        EXPECT_EQ(run(withdraw.outbound), 0u);
        EXPECT_EQ(run(withdraw.inbound), 0u);
        const sim::IpsecStore store = sim::loadIpsecStore();
        ASSERT_EQ(store.policies.size(), 1u);
        EXPECT_FALSE(store.policies[0].assigned);
        EXPECT_TRUE(store.rules.empty());
        EXPECT_TRUE(store.filterActions.empty());
    }
}

TEST_F(PolicyToolEndToEnd, anApplyThatCannotStoreItsRuleNeverAssigns) {
    // Another policy's rule uses a filter action of the rule's name: it can be neither deleted nor
    // added anew.
    sim::IpsecStore store;
    store.policies.push_back({"other"});
    store.filterLists.push_back({"other", {}});
    sim::StoredFilterAction action;
    action.name = "windows to zerta";
    store.filterActions.push_back(action);
    sim::StoredRule rule;
    rule.policy = "other";
    rule.name = "other";
    rule.filterList = "other";
    rule.filterAction = "windows to zerta";
    store.rules.push_back(rule);
    sim::saveIpsecStore(store);

    EXPECT_EQ(run(lines(workedExample(), kPolicyOn).outbound), 1u);
    const Lines journal = sim::readJournal();
    ASSERT_EQ(journal.size(), 7u);
    EXPECT_EQ(journal.back().rfind("netsh ipsec static add filteraction ", 0), 0u);
    EXPECT_FALSE(sim::loadIpsecStore().policy("corvinaltexum")->assigned);
}

TEST_F(PolicyToolEndToEnd, argumentsItCannotReadRunNoNetsh) {
    EXPECT_EQ(run("velmora-ipsec -w REG -x"), 87u);
    ConnProfile p = workedExample();
    p.comalg = "AES";  // no transform at all
    EXPECT_EQ(run(lines(p, kPolicyOn).outbound), 87u);
    EXPECT_TRUE(sim::readJournal().empty());
}

TEST_F(PolicyToolEndToEnd, twoRulesStartedAtOnceNeverInterleave) {
    const PolicyLines apply = lines(workedExample(), kPolicyOn);
    const UniqueHandle first(start(apply.outbound));
    const UniqueHandle second(start(apply.inbound));
    EXPECT_EQ(WaitForSingleObject(first.get(), 60000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second.get(), 60000), WAIT_OBJECT_0);

    const Lines journal = sim::readJournal();
    ASSERT_EQ(journal.size(), 18u);
    const Lines out = netshStepsFor(apply.outbound);
    const Lines in = netshStepsFor(apply.inbound);
    const Lines firstHalf(journal.begin(), journal.begin() + 9);
    const Lines secondHalf(journal.begin() + 9, journal.end());
    EXPECT_TRUE((firstHalf == out && secondHalf == in) || (firstHalf == in && secondHalf == out))
        << ::testing::PrintToString(journal);
    EXPECT_TRUE(sim::loadIpsecStore().policy("corvinaltexum")->assigned);
}

}  // namespace
}  // namespace velmora
