// One run of the policy tool from Windows Vista on: the arguments velmora.exe gives ipsecpol and
// ipseccmd, read back into one rule of the policy, and the `netsh ipsec static` steps that store
// that rule and assign or unassign the policy. The mapping is in netsh_policy.cpp.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct PolicyAddress {
    std::string address;  // dotted quad
    std::string mask;     // dotted quad
};

// What one rule's arguments (-r, -f, -n, -a, -t) ask for, in netsh's terms.
struct PolicyRule {
    std::string name;
    PolicyAddress source;       // each address as four plain decimals
    PolicyAddress destination;
    std::string cipher;  // "DES", "3DES" or "None"
    std::string hash;    // "MD5", "SHA1" or "None"
    std::string seconds;    // rekey after this many seconds (decimal digits)
    std::string kilobytes;  // or after this many kilobytes (decimal digits)
    std::string presharedKey;
    std::string tunnel;  // the tunnel endpoint, four plain decimals
};

struct PolicyRequest {
    std::string policy;
    bool assign = false;  // -x assigns the policy, -y unassigns it
    // Absent when a withdrawal (-y) came with rule arguments this tool cannot read: the policy
    // is still unassigned.
    std::optional<PolicyRule> rule;
};

// The request in the arguments after the program name (as CommandLineToArgvW splits them);
// nothing when they are not the old tools' static-mode arguments for the local store, or when an
// apply (-x) names a rule that cannot be read.
std::optional<PolicyRequest> parsePolicyArguments(const std::vector<std::string>& arguments);

struct NetshStep {
    std::string commandLine;  // "netsh ipsec static ...", values quoted as one argument each
    bool required = true;     // false for a step that fails whenever its object is absent or present already
};

// The steps for the request, to run one after the other: an apply stores the rule anew and assigns
// the policy last; a withdrawal unassigns the policy (adding it unassigned first where it is
// missing), then deletes the rule with its filter list and filter action, key and all.
std::vector<NetshStep> netshSteps(const PolicyRequest& request);

// The step that assigns another local policy again.
NetshStep reassignStep(const std::string& policy);

}  // namespace velmora
