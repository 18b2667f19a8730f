// What the registry says of the IPsec policies in force on this computer: a policy that the
// domain assigns through Group Policy, and the local policy that is assigned.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

namespace velmora {

// True when Group Policy assigns a domain IPsec policy to this computer. Its IPsec client keeps
// the directory path of the assigned policy in the value DSIPSECPolicyPath of the key
// HKLM\SOFTWARE\Policies\Microsoft\Windows\IPSec\GPTIPSECPolicy; a domain policy takes
// precedence over every local one, so a local policy assigned meanwhile is not in force.
bool domainIpsecPolicyAssigned(Registry& registry);

// True when Group Policy sets connection security rules (Windows 6.0 and later): each is a value
// of HKLM\SOFTWARE\Policies\Microsoft\WindowsFirewall\ConSecRules. They act on traffic beside
// the program's policy.
bool groupPolicyConnectionSecurityRules(Registry& registry);

// The name of the local policy assigned now: HKLM\...\IPSec\Policy\Local, value ActivePolicy,
// names the policy's key (under HKLM), whose ipsecName is the name netsh knows it by. Nothing
// when no local policy is assigned.
std::optional<std::string> assignedLocalPolicy(Registry& registry);

// Closes, in the local store, the key of the policy's rule of that name (the rule holds the
// preshared key) to everyone but the system, the administrators and NETWORK SERVICE, which
// Windows' IPsec policy agent reads the store as from Vista on (the system before): every user may
// read the rest of HKLM\SOFTWARE\Policies. True when each such key was closed (also when there is
// none).
bool closeRule(Registry& registry, const std::string& ruleName);

// Where velmora-ipsec keeps, from applying its policy until withdrawing it, the local policy that
// was assigned before (empty when none was), so that the withdrawal can assign that one again.
inline constexpr const char* kVelmoraKey = "SOFTWARE\\Velmora";
inline constexpr const char* kPolicyAssignedBefore = "IpsecPolicyAssignedBefore";

}  // namespace velmora
