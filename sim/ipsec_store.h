// The stand-in netsh's model of the local IPsec policy store: policies, filter lists with their
// filters, filter actions and the rules that tie them together, what `netsh ipsec static` does
// to them, and the text the simulated environment keeps them in (ipsec-store.txt, one object a
// line, tab-separated "key=value" fields after the object's kind). Portable, so that the tests of
// every tier can read it.
#pragma once

#include <string>
#include <vector>

namespace velmora::sim {

struct StoredPolicy {
    std::string name;
    bool assigned = false;
    std::string pollingInterval = "180";  // minutes, netsh's default
    bool activateDefaultRule = true;
};

struct StoredFilter {
    std::string srcaddr, srcmask, dstaddr, dstmask;
    std::string protocol = "ANY";
    bool mirrored = true;
};

struct StoredFilterList {
    std::string name;
    std::vector<StoredFilter> filters;
};

struct StoredFilterAction {
    std::string name;
    std::string action = "negotiate";
    bool qmpfs = false;
    bool inpass = false;
    bool soft = false;
    std::string qmsecmethods;  // as given, e.g. "ESP[3DES,SHA1]:100000k/3600s"
};

struct StoredRule {
    std::string policy;
    std::string name;
    std::string filterList;
    std::string filterAction;
    std::string tunnel;  // empty: transport mode
    std::string conntype = "all";
    bool activate = true;
    bool kerberos = true;  // netsh offers Kerberos unless told kerberos=no
    std::string psk;
};

struct IpsecStore {
    std::vector<StoredPolicy> policies;
    std::vector<StoredFilterList> filterLists;
    std::vector<StoredFilterAction> filterActions;
    std::vector<StoredRule> rules;

    const StoredPolicy* policy(const std::string& name) const;
    const StoredFilterList* filterList(const std::string& name) const;
    const StoredFilterAction* filterAction(const std::string& name) const;
    const StoredRule* rule(const std::string& policy, const std::string& name) const;
};

std::string printIpsecStore(const IpsecStore& store);
// Lines it cannot read are left out.
IpsecStore parseIpsecStore(const std::string& text);

struct NetshAnswer {
    int status = 0;  // 0, or 1 as netsh exits on an error
    std::string message;
};

// Carries out one netsh command, given as the arguments after the program name, on the store:
// "ipsec static" add or set of a policy, add of a filter, add or delete of a filter list, filter
// action or rule, with netsh's tags and defaults (a filter's list is made when it is missing). A name that exists already, an object that is missing or in use by
// a rule, a tag or value netsh does not take: an error, and the store is left as it was.
NetshAnswer applyNetsh(IpsecStore& store, const std::vector<std::string>& arguments);

}  // namespace velmora::sim
