// The stand-in netsh's policy store: the tests of the policy tool decide on it, so it must answer
// as netsh does.
#include "sim/ipsec_store.h"

#include <gtest/gtest.h>

namespace velmora::sim {
namespace {

using Args = std::vector<std::string>;

Args netsh(const std::string& verbAndObject, const Args& tags) {
    Args args = {"ipsec", "static"};
    const std::size_t blank = verbAndObject.find(' ');
    args.push_back(verbAndObject.substr(0, blank));
    args.push_back(verbAndObject.substr(blank + 1));
    args.insert(args.end(), tags.begin(), tags.end());
    return args;
}

// One rule of the policy, as velmora-ipsec stores it.
std::vector<Args> ruleSteps(const std::string& rule, const std::string& src, const std::string& dst,
                            const std::string& tunnel, const std::string& assign) {
    return {
        netsh("delete rule", {"name=" + rule, "policy=corvinaltexum"}),
        netsh("delete filterlist", {"name=" + rule}),
        netsh("delete filteraction", {"name=" + rule}),
        netsh("add policy", {"name=corvinaltexum", "activatedefaultrule=no", "assign=no"}),
        netsh("add filterlist", {"name=" + rule}),
        netsh("add filter", {"filterlist=" + rule, "srcaddr=" + src, "srcmask=255.255.255.255", "dstaddr=" + dst,
                             "dstmask=255.255.255.255", "protocol=ANY", "mirrored=no"}),
        netsh("add filteraction", {"name=" + rule, "qmpfs=no", "inpass=no", "soft=no", "action=negotiate",
                                   "qmsecmethods=ESP[3DES,SHA1]:100000k/3600s"}),
        netsh("add rule", {"name=" + rule, "policy=corvinaltexum", "filterlist=" + rule, "filteraction=" + rule,
                           "tunnel=" + tunnel, "conntype=all", "activate=yes", "psk=a key"}),
        netsh("set policy", {"name=corvinaltexum", "assign=" + assign}),
    };
}

// Runs the steps as velmora-ipsec does; the statuses in order.
std::vector<int> run(IpsecStore& store, const std::vector<Args>& steps) {
    std::vector<int> statuses;
    for (const Args& step : steps) {
        statuses.push_back(applyNetsh(store, step).status);
    }
    return statuses;
}

IpsecStore connected() {
    IpsecStore store;
    run(store, ruleSteps("windows to zerta", "10.10.10.4", "10.0.0.0", "10.0.0.0", "yes"));
    run(store, ruleSteps("zerta to windows", "10.0.0.0", "10.10.10.4", "10.10.10.4", "yes"));
    return store;
}

TEST(IpsecStore, aFirstApplyFindsNothingToDeleteAndStoresTheRule) {
    IpsecStore store;
    EXPECT_EQ(run(store, ruleSteps("windows to zerta", "10.10.10.4", "10.0.0.0", "10.0.0.0", "yes")),
              (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(store.policies.size(), 1u);
    EXPECT_TRUE(store.policies[0].assigned);
    EXPECT_FALSE(store.policies[0].activateDefaultRule);
    EXPECT_EQ(store.policies[0].pollingInterval, "180");
    const StoredFilterList* list = store.filterList("windows to zerta");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->filters.size(), 1u);
    EXPECT_EQ(list->filters[0].srcaddr, "10.10.10.4");
    EXPECT_EQ(list->filters[0].dstaddr, "10.0.0.0");
    EXPECT_FALSE(list->filters[0].mirrored);
    const StoredFilterAction* action = store.filterAction("windows to zerta");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->action, "negotiate");
    EXPECT_EQ(action->qmsecmethods, "ESP[3DES,SHA1]:100000k/3600s");
    const StoredRule* rule = store.rule("corvinaltexum", "windows to zerta");
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->filterList, "windows to zerta");
    EXPECT_EQ(rule->filterAction, "windows to zerta");
    EXPECT_EQ(rule->tunnel, "10.0.0.0");
    EXPECT_EQ(rule->psk, "a key");
}

TEST(IpsecStore, aSecondApplyReplacesTheRuleInsteadOfAddingOne) {
    IpsecStore store = connected();
    const std::string before = printIpsecStore(store);
    EXPECT_EQ(run(store, ruleSteps("windows to zerta", "10.10.10.4", "10.0.0.0", "10.0.0.0", "yes")),
              (std::vector<int>{0, 0, 0, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(store.rules.size(), 2u);
    EXPECT_EQ(store.filterLists.size(), 2u);
    EXPECT_EQ(store.filterActions.size(), 2u);
    // The replaced rule moves to the end; nothing else changes.
    run(store, ruleSteps("zerta to windows", "10.0.0.0", "10.10.10.4", "10.10.10.4", "yes"));
    EXPECT_EQ(printIpsecStore(store), before);
}

TEST(IpsecStore, duplicateNamesAreRefusedAndChangeNothing) {
    IpsecStore store = connected();
    const std::string before = printIpsecStore(store);
    for (const Args& step : {
             netsh("add policy", {"name=corvinaltexum"}),
             netsh("add filterlist", {"name=windows to zerta"}),
             netsh("add filteraction", {"name=windows to zerta", "action=negotiate"}),
             netsh("add rule", {"name=windows to zerta", "policy=corvinaltexum", "filterlist=zerta to windows",
                                "filteraction=zerta to windows"}),
         }) {
        const NetshAnswer answer = applyNetsh(store, step);
        EXPECT_EQ(answer.status, 1) << step[3];
        EXPECT_NE(answer.message.find("already exists"), std::string::npos) << answer.message;
    }
    EXPECT_EQ(printIpsecStore(store), before);
}

TEST(IpsecStore, missingObjectsAreRefusedAndChangeNothing) {
    IpsecStore store = connected();
    const std::string before = printIpsecStore(store);
    for (const Args& step : {
             netsh("set policy", {"name=other", "assign=yes"}),
             netsh("delete rule", {"name=other", "policy=corvinaltexum"}),
             netsh("delete rule", {"name=windows to zerta", "policy=other"}),
             netsh("delete filterlist", {"name=other"}),
             netsh("delete filteraction", {"name=other"}),
             netsh("add rule", {"name=r", "policy=other", "filterlist=windows to zerta",
                                "filteraction=windows to zerta"}),
             netsh("add rule", {"name=r", "policy=corvinaltexum", "filterlist=other",
                                "filteraction=windows to zerta"}),
             netsh("add rule", {"name=r", "policy=corvinaltexum", "filterlist=windows to zerta",
                                "filteraction=other"}),
         }) {
        const NetshAnswer answer = applyNetsh(store, step);
        EXPECT_EQ(answer.status, 1) << step[2] << " " << step[3] << " " << step[4];
        EXPECT_NE(answer.message.find("does not exist"), std::string::npos) << answer.message;
    }
    EXPECT_EQ(printIpsecStore(store), before);
}

TEST(IpsecStore, whatARuleUsesCannotBeDeleted) {
    IpsecStore store = connected();
    EXPECT_EQ(applyNetsh(store, netsh("delete filterlist", {"name=windows to zerta"})).status, 1);
    EXPECT_EQ(applyNetsh(store, netsh("delete filteraction", {"name=windows to zerta"})).status, 1);
    EXPECT_NE(store.filterList("windows to zerta"), nullptr);
    EXPECT_NE(store.filterAction("windows to zerta"), nullptr);
}

TEST(IpsecStore, valuesNetshDoesNotTakeAreRefused) {
    IpsecStore store;
    for (const Args& step : {
             netsh("add filteraction", {"name=a", "qmsecmethods=ESP[3DES,SHA]:100000k/3600s"}),
             netsh("add filteraction", {"name=a", "qmsecmethods=ESP[3DES,SHA1]3600s/100000k"}),
             netsh("add filter", {"filterlist=l", "srcaddr=10.0.0.1", "dstaddr=10.0.0.2", "mirrored=maybe"}),
             netsh("add filter", {"filterlist=l", "srcaddr=10.0.0.1"}),
             netsh("add policy", {"name=p", "assign=sometimes"}),
             netsh("add policy", {"name=p", "colour=blue"}),
             netsh("frobnicate policy", {"name=p"}),
             Args{"ipsec", "dynamic", "add", "policy", "name=p"},
         }) {
        EXPECT_EQ(applyNetsh(store, step).status, 1) << ::testing::PrintToString(step);
    }
    EXPECT_EQ(printIpsecStore(store), "");
}

TEST(IpsecStore, oneAssignedPolicyAtMost) {
    IpsecStore store = connected();
    EXPECT_EQ(applyNetsh(store, netsh("add policy", {"name=other", "assign=yes"})).status, 0);
    EXPECT_FALSE(store.policy("corvinaltexum")->assigned);
    EXPECT_EQ(applyNetsh(store, netsh("set policy", {"name=corvinaltexum", "assign=yes"})).status, 0);
    EXPECT_TRUE(store.policy("corvinaltexum")->assigned);
    EXPECT_FALSE(store.policy("other")->assigned);
}

}  // namespace
}  // namespace velmora::sim
