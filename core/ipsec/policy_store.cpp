#include "core/ipsec/policy_store.h"

#include "core/system/general.h"

namespace velmora {

namespace {

constexpr const char* kIpsecPolicies = "SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec";

}  // namespace

bool domainIpsecPolicyAssigned(Registry& registry) {
    const auto path =
        registry.readString(kHkeyLocalMachine, std::string(kIpsecPolicies) + "\\GPTIPSECPolicy", "DSIPSECPolicyPath");
    return path && !path->empty();
}

bool groupPolicyConnectionSecurityRules(Registry& registry) {
    return registry.hasValues(kHkeyLocalMachine, "SOFTWARE\\Policies\\Microsoft\\WindowsFirewall\\ConSecRules");
}

bool closeRule(Registry& registry, const std::string& ruleName) {
    const std::string store = std::string(kIpsecPolicies) + "\\Policy\\Local";
    bool closed = true;
    for (const std::string& name : registry.subkeys(kHkeyLocalMachine, store)) {
        const std::string key = store + "\\" + name;
        if (name.rfind("ipsecNFA", 0) == 0 && registry.readString(kHkeyLocalMachine, key, "ipsecName") == ruleName) {
            closed = registry.closeKey(kHkeyLocalMachine, key) && closed;
        }
    }
    return closed;
}

std::optional<std::string> assignedLocalPolicy(Registry& registry) {
    const auto key =
        registry.readString(kHkeyLocalMachine, std::string(kIpsecPolicies) + "\\Policy\\Local", "ActivePolicy");
    if (!key || key->empty()) {
        return std::nullopt;
    }
    const auto name = registry.readString(kHkeyLocalMachine, *key, "ipsecName");
    return name && !name->empty() ? name : std::nullopt;
}

}  // namespace velmora
