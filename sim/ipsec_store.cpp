#include "sim/ipsec_store.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

namespace velmora::sim {

namespace {

using Fields = std::map<std::string, std::string>;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool isDottedQuad(const std::string& text) {
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) {
            return false;
        }
        const std::string number = text.substr(start, end - start);
        if (!allDigits(number) || number.size() > 3 || std::stoi(number) > 255) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool isAddress(const std::string& text) {
    return isDottedQuad(text) || lower(text) == "me" || lower(text) == "any";
}

bool isMask(const std::string& text) {
    return isDottedQuad(text) ||
           (allDigits(text) && text.size() <= 2 && std::stoi(text) >= 1 && std::stoi(text) <= 32);
}

bool isProtocol(const std::string& text) {
    static const std::set<std::string> names = {"any", "icmp", "tcp", "udp", "raw"};
    return names.count(lower(text)) != 0 || (allDigits(text) && text.size() <= 3 && std::stoi(text) <= 255);
}

// One offer "ESP[ConfAlg,AuthAlg]" with an optional ":<kilobytes>k/<seconds>s"; ConfAlg DES, 3DES
// or None, AuthAlg MD5, SHA1 or None, not both None.
bool isEspOffer(const std::string& offer) {
    const std::string text = lower(offer);
    const std::size_t close = text.find(']');
    const std::size_t comma = text.find(',');
    if (text.rfind("esp[", 0) != 0 || close == std::string::npos || comma == std::string::npos || comma > close) {
        return false;
    }
    const std::string cipher = text.substr(4, comma - 4);
    const std::string hash = text.substr(comma + 1, close - comma - 1);
    if ((cipher != "des" && cipher != "3des" && cipher != "none") ||
        (hash != "md5" && hash != "sha1" && hash != "none") || (cipher == "none" && hash == "none")) {
        return false;
    }
    const std::string rest = text.substr(close + 1);
    if (rest.empty()) {
        return true;
    }
    const std::size_t slash = rest.find('/');
    return rest[0] == ':' && slash != std::string::npos && rest.size() > slash + 1 && rest[slash - 1] == 'k' &&
           rest.back() == 's' && allDigits(rest.substr(1, slash - 2)) &&
           allDigits(rest.substr(slash + 1, rest.size() - slash - 2));
}

bool isQmsecMethods(const std::string& text) {
    std::size_t start = 0;
    bool any = false;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start) {
            if (!isEspOffer(text.substr(start, end - start))) {
                return false;
            }
            any = true;
        }
        start = end + 1;
    }
    return any;
}

std::optional<bool> yesNo(const std::string& text) {
    const std::string value = lower(text);
    if (value == "yes" || value == "y") {
        return true;
    }
    if (value == "no" || value == "n") {
        return false;
    }
    return std::nullopt;
}

const char* yesNoText(bool value) {
    return value ? "yes" : "no";
}

template <typename T>
auto findNamed(std::vector<T>& items, const std::string& name) {
    return std::find_if(items.begin(), items.end(), [&](const T& item) { return item.name == name; });
}

// A command's tags and values; the text of an error, or nothing when the tags are fine.
class Command {
public:
    Command(const std::vector<std::string>& arguments, const std::set<std::string>& allowed) {
        for (std::size_t i = 4; i < arguments.size(); ++i) {
            const std::size_t equals = arguments[i].find('=');
            const std::string tag = lower(arguments[i].substr(0, equals));
            if (equals == std::string::npos || allowed.count(tag) == 0 || tags_.count(tag) != 0) {
                error_ = "'" + arguments[i] + "' is not a valid argument for this command.";
                return;
            }
            tags_[tag] = arguments[i].substr(equals + 1);
        }
    }

    const std::string& error() const { return error_; }
    bool has(const std::string& tag) const { return tags_.count(tag) != 0; }
    std::string operator[](const std::string& tag) const {
        const auto found = tags_.find(tag);
        return found == tags_.end() ? std::string() : found->second;
    }

    // Reads a yes/no tag into value when given; false (and the error set) for another value.
    bool flag(const std::string& tag, bool& value) {
        if (!has(tag)) {
            return true;
        }
        const auto read = yesNo((*this)[tag]);
        if (!read) {
            error_ = "The value of " + tag + " must be yes or no.";
            return false;
        }
        value = *read;
        return true;
    }

    // Requires the tags given; false (and the error set) when one is missing or empty.
    bool needs(const std::set<std::string>& tags) {
        for (const std::string& tag : tags) {
            if ((*this)[tag].empty()) {
                error_ = "The parameter " + tag + " is missing.";
                return false;
            }
        }
        return true;
    }

    // Checks a given tag's value; false (and the error set) when check refuses it.
    template <typename Check>
    bool valid(const std::string& tag, Check check) {
        if (has(tag) && !check((*this)[tag])) {
            error_ = "'" + (*this)[tag] + "' is not a valid value for " + tag + ".";
            return false;
        }
        return true;
    }

private:
    std::map<std::string, std::string> tags_;
    std::string error_;
};

NetshAnswer failure(const std::string& message) {
    return {1, message};
}

// A command netsh has that this stand-in does not carry out.
NetshAnswer unsupported(const std::string& verb, const std::string& object) {
    return failure("The stand-in netsh does not carry out \"" + verb + " " + object + "\".");
}

NetshAnswer policyCommand(IpsecStore& store, const std::string& verb, const std::vector<std::string>& arguments) {
    Command command(arguments, {"name", "description", "mmpfs", "qmpermm", "mmlifetime", "activatedefaultrule",
                                "pollinginterval", "assign", "mmsecmethods"});
    if (!command.error().empty() || !command.needs({"name"}) || !command.valid("pollinginterval", allDigits)) {
        return failure(command.error());
    }
    const std::string name = command["name"];
    auto found = findNamed(store.policies, name);
    if (verb == "delete") {
        return unsupported(verb, "policy");
    }
    if (verb == "add") {
        if (found != store.policies.end()) {
            return failure("Policy with name '" + name + "' already exists.");
        }
        store.policies.push_back({name});
        found = store.policies.end() - 1;
    } else if (found == store.policies.end()) {
        return failure("Policy with name '" + name + "' does not exist.");
    }
    StoredPolicy policy = *found;
    if (!command.flag("assign", policy.assigned) || !command.flag("activatedefaultrule", policy.activateDefaultRule)) {
        return failure(command.error());
    }
    if (command.has("pollinginterval")) {
        policy.pollingInterval = command["pollinginterval"];
    }
    // The local store has one assigned policy at most.
    if (policy.assigned) {
        for (StoredPolicy& other : store.policies) {
            other.assigned = false;
        }
    }
    *found = policy;
    return {};
}

bool inUse(const IpsecStore& store, std::string StoredRule::*member, const std::string& name) {
    return std::any_of(store.rules.begin(), store.rules.end(),
                       [&](const StoredRule& rule) { return rule.*member == name; });
}

NetshAnswer filterListCommand(IpsecStore& store, const std::string& verb, const std::vector<std::string>& arguments) {
    if (verb == "set") {
        return unsupported(verb, "filterlist");
    }
    Command command(arguments, {"name", "description"});
    if (!command.error().empty() || !command.needs({"name"})) {
        return failure(command.error());
    }
    const auto found = findNamed(store.filterLists, command["name"]);
    if (verb == "add") {
        if (found != store.filterLists.end()) {
            return failure("Filter List with name '" + command["name"] + "' already exists.");
        }
        store.filterLists.push_back({command["name"], {}});
        return {};
    }
    if (found == store.filterLists.end()) {
        return failure("Filter List with name '" + command["name"] + "' does not exist.");
    }
    if (inUse(store, &StoredRule::filterList, command["name"])) {
        return failure("Filter List '" + command["name"] + "' is used by a rule and cannot be deleted.");
    }
    store.filterLists.erase(found);
    return {};
}

NetshAnswer filterCommand(IpsecStore& store, const std::string& verb, const std::vector<std::string>& arguments) {
    Command command(arguments, {"filterlist", "srcaddr", "dstaddr", "description", "protocol", "mirrored",
                                "srcmask", "dstmask", "srcport", "dstport"});
    if (verb != "add") {
        return unsupported(verb, "filter");
    }
    StoredFilter filter;
    if (!command.error().empty() || !command.needs({"filterlist", "srcaddr", "dstaddr"}) ||
        !command.valid("srcaddr", isAddress) || !command.valid("dstaddr", isAddress) ||
        !command.valid("srcmask", isMask) || !command.valid("dstmask", isMask) ||
        !command.valid("protocol", isProtocol) || !command.valid("srcport", allDigits) ||
        !command.valid("dstport", allDigits) || !command.flag("mirrored", filter.mirrored)) {
        return failure(command.error());
    }
    filter.srcaddr = command["srcaddr"];
    filter.dstaddr = command["dstaddr"];
    filter.srcmask = command.has("srcmask") ? command["srcmask"] : "255.255.255.255";
    filter.dstmask = command.has("dstmask") ? command["dstmask"] : "255.255.255.255";
    if (command.has("protocol")) {
        filter.protocol = command["protocol"];
    }
    // A filter list that does not exist yet is made for the filter.
    auto list = findNamed(store.filterLists, command["filterlist"]);
    if (list == store.filterLists.end()) {
        store.filterLists.push_back({command["filterlist"], {}});
        list = store.filterLists.end() - 1;
    }
    list->filters.push_back(filter);
    return {};
}

NetshAnswer filterActionCommand(IpsecStore& store, const std::string& verb,
                                const std::vector<std::string>& arguments) {
    if (verb == "set") {
        return unsupported(verb, "filteraction");
    }
    Command command(arguments, {"name", "description", "qmpfs", "inpass", "soft", "action", "qmsecmethods"});
    if (!command.error().empty() || !command.needs({"name"})) {
        return failure(command.error());
    }
    const auto found = findNamed(store.filterActions, command["name"]);
    if (verb == "delete") {
        if (found == store.filterActions.end()) {
            return failure("Filter Action with name '" + command["name"] + "' does not exist.");
        }
        if (inUse(store, &StoredRule::filterAction, command["name"])) {
            return failure("Filter Action '" + command["name"] + "' is used by a rule and cannot be deleted.");
        }
        store.filterActions.erase(found);
        return {};
    }
    StoredFilterAction action;
    action.name = command["name"];
    const auto isAction = [](const std::string& text) {
        const std::string value = lower(text);
        return value == "permit" || value == "block" || value == "negotiate";
    };
    if (!command.flag("qmpfs", action.qmpfs) || !command.flag("inpass", action.inpass) ||
        !command.flag("soft", action.soft) || !command.valid("action", isAction) ||
        !command.valid("qmsecmethods", isQmsecMethods)) {
        return failure(command.error());
    }
    if (found != store.filterActions.end()) {
        return failure("Filter Action with name '" + command["name"] + "' already exists.");
    }
    if (command.has("action")) {
        action.action = lower(command["action"]);
    }
    action.qmsecmethods = command["qmsecmethods"];
    store.filterActions.push_back(action);
    return {};
}

NetshAnswer ruleCommand(IpsecStore& store, const std::string& verb, const std::vector<std::string>& arguments) {
    if (verb == "set") {
        return unsupported(verb, "rule");
    }
    Command command(arguments, {"name", "policy", "filterlist", "filteraction", "tunnel", "conntype", "activate",
                                "description", "kerberos", "psk", "rootca"});
    if (!command.error().empty() || !command.needs({"name", "policy"})) {
        return failure(command.error());
    }
    if (store.policy(command["policy"]) == nullptr) {
        return failure("Policy with name '" + command["policy"] + "' does not exist.");
    }
    const auto found = std::find_if(store.rules.begin(), store.rules.end(), [&](const StoredRule& rule) {
        return rule.policy == command["policy"] && rule.name == command["name"];
    });
    if (verb == "delete") {
        if (found == store.rules.end()) {
            return failure("Rule with name '" + command["name"] + "' does not exist in the policy.");
        }
        store.rules.erase(found);
        return {};
    }
    StoredRule rule;
    rule.policy = command["policy"];
    rule.name = command["name"];
    rule.filterList = command["filterlist"];
    rule.filterAction = command["filteraction"];
    rule.tunnel = command["tunnel"];
    const auto isConntype = [](const std::string& text) {
        const std::string value = lower(text);
        return value == "lan" || value == "dialup" || value == "all";
    };
    if (!command.needs({"filterlist", "filteraction"}) || !command.valid("tunnel", isDottedQuad) ||
        !command.valid("conntype", isConntype) || !command.flag("activate", rule.activate) ||
        !command.flag("kerberos", rule.kerberos)) {
        return failure(command.error());
    }
    if (store.filterList(rule.filterList) == nullptr) {
        return failure("Filter List with name '" + rule.filterList + "' does not exist.");
    }
    if (store.filterAction(rule.filterAction) == nullptr) {
        return failure("Filter Action with name '" + rule.filterAction + "' does not exist.");
    }
    if (found != store.rules.end()) {
        return failure("Rule with name '" + rule.name + "' already exists in the policy.");
    }
    if (command.has("conntype")) {
        rule.conntype = lower(command["conntype"]);
    }
    rule.psk = command["psk"];
    store.rules.push_back(rule);
    return {};
}

Fields fieldsOf(const std::string& line, std::string& kind) {
    Fields fields;
    std::size_t start = 0;
    bool first = true;
    while (start <= line.size()) {
        const std::size_t end = std::min(line.find('\t', start), line.size());
        const std::string field = line.substr(start, end - start);
        if (first) {
            kind = field;
            first = false;
        } else {
            const std::size_t equals = field.find('=');
            if (equals != std::string::npos) {
                fields[field.substr(0, equals)] = field.substr(equals + 1);
            }
        }
        start = end + 1;
    }
    return fields;
}

}  // namespace

const StoredPolicy* IpsecStore::policy(const std::string& name) const {
    const auto found = std::find_if(policies.begin(), policies.end(), [&](const auto& p) { return p.name == name; });
    return found == policies.end() ? nullptr : &*found;
}

const StoredFilterList* IpsecStore::filterList(const std::string& name) const {
    const auto found =
        std::find_if(filterLists.begin(), filterLists.end(), [&](const auto& l) { return l.name == name; });
    return found == filterLists.end() ? nullptr : &*found;
}

const StoredFilterAction* IpsecStore::filterAction(const std::string& name) const {
    const auto found =
        std::find_if(filterActions.begin(), filterActions.end(), [&](const auto& a) { return a.name == name; });
    return found == filterActions.end() ? nullptr : &*found;
}

const StoredRule* IpsecStore::rule(const std::string& policyName, const std::string& name) const {
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [&](const auto& r) { return r.policy == policyName && r.name == name; });
    return found == rules.end() ? nullptr : &*found;
}

std::string printIpsecStore(const IpsecStore& store) {
    std::string text;
    for (const StoredPolicy& p : store.policies) {
        text += "policy\tname=" + p.name + "\tassigned=" + yesNoText(p.assigned) + "\tpollinginterval=" +
                p.pollingInterval + "\tactivatedefaultrule=" + yesNoText(p.activateDefaultRule) + "\r\n";
    }
    for (const StoredFilterList& l : store.filterLists) {
        text += "filterlist\tname=" + l.name + "\r\n";
        for (const StoredFilter& f : l.filters) {
            text += "filter\tfilterlist=" + l.name + "\tsrcaddr=" + f.srcaddr + "\tsrcmask=" + f.srcmask +
                    "\tdstaddr=" + f.dstaddr + "\tdstmask=" + f.dstmask + "\tprotocol=" + f.protocol +
                    "\tmirrored=" + yesNoText(f.mirrored) + "\r\n";
        }
    }
    for (const StoredFilterAction& a : store.filterActions) {
        text += "filteraction\tname=" + a.name + "\taction=" + a.action + "\tqmpfs=" + yesNoText(a.qmpfs) +
                "\tinpass=" + yesNoText(a.inpass) + "\tsoft=" + yesNoText(a.soft) + "\tqmsecmethods=" +
                a.qmsecmethods + "\r\n";
    }
    for (const StoredRule& r : store.rules) {
        text += "rule\tpolicy=" + r.policy + "\tname=" + r.name + "\tfilterlist=" + r.filterList +
                "\tfilteraction=" + r.filterAction + "\ttunnel=" + r.tunnel + "\tconntype=" + r.conntype +
                "\tactivate=" + yesNoText(r.activate) + "\tkerberos=" + yesNoText(r.kerberos) + "\tpsk=" + r.psk +
                "\r\n";
    }
    return text;
}

IpsecStore parseIpsecStore(const std::string& text) {
    IpsecStore store;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string kind;
        Fields f = fieldsOf(line, kind);
        const auto flag = [&](const char* key) { return f[key] == "yes"; };
        if (kind == "policy") {
            store.policies.push_back({f["name"], flag("assigned"), f["pollinginterval"], flag("activatedefaultrule")});
        } else if (kind == "filterlist") {
            store.filterLists.push_back({f["name"], {}});
        } else if (kind == "filter") {
            const auto list = findNamed(store.filterLists, f["filterlist"]);
            if (list != store.filterLists.end()) {
                list->filters.push_back(
                    {f["srcaddr"], f["srcmask"], f["dstaddr"], f["dstmask"], f["protocol"], flag("mirrored")});
            }
        } else if (kind == "filteraction") {
            store.filterActions.push_back(
                {f["name"], f["action"], flag("qmpfs"), flag("inpass"), flag("soft"), f["qmsecmethods"]});
        } else if (kind == "rule") {
            store.rules.push_back({f["policy"], f["name"], f["filterlist"], f["filteraction"], f["tunnel"],
                                   f["conntype"], flag("activate"), flag("kerberos"), f["psk"]});
        }
    }
    return store;
}

NetshAnswer applyNetsh(IpsecStore& store, const std::vector<std::string>& arguments) {
    if (arguments.size() < 4 || lower(arguments[0]) != "ipsec" || lower(arguments[1]) != "static") {
        return failure("The following command was not found.");
    }
    const std::string verb = lower(arguments[2]);
    const std::string object = lower(arguments[3]);
    if (verb != "add" && verb != "set" && verb != "delete") {
        return failure("The following command was not found.");
    }
    IpsecStore changed = store;
    NetshAnswer answer = failure("The following command was not found.");
    if (object == "policy") {
        answer = policyCommand(changed, verb, arguments);
    } else if (object == "filterlist") {
        answer = filterListCommand(changed, verb, arguments);
    } else if (object == "filter") {
        answer = filterCommand(changed, verb, arguments);
    } else if (object == "filteraction") {
        answer = filterActionCommand(changed, verb, arguments);
    } else if (object == "rule") {
        answer = ruleCommand(changed, verb, arguments);
    }
    if (answer.status == 0) {
        store = changed;
    }
    return answer;
}

}  // namespace velmora::sim
