// The two command lines of the IPsec policy "corvinaltexum": one tunnel rule for each direction
// between this computer's tunnel address and remote network 1. Values the user typed are
// quoted only when they hold a blank, a tab or a double quote (quoteArgument).
#pragma once

#include <string>

#include "core/profile/conn_profile.h"
#include "core/service/operations.h"

namespace velmora {

// What config_ipsec appends to both lines: make the policy active, or inactive.
inline constexpr const char* kPolicyOn = " -x";
inline constexpr const char* kPolicyOff = " -y";

// The policy tool's transform for a cipher-suite name, e.g. "ESP-3DES-SHA" -> "ESP[3DES,SHA]";
// empty for any other text (compared exactly).
std::string getalg(const std::string& alg);

// The rule's name in the policy: "windows to zerta" (outbound) or "zerta to windows".
const char* ruleName(RuleDirection rule);

struct PolicyLines {
    std::string outbound;  // rule "windows to zerta", started first
    std::string inbound;   // rule "zerta to windows"
};

// Both lines for the profile, the tool's name and strActive (kPolicyOn or kPolicyOff).
PolicyLines policyLines(const ConnProfile& profile, const std::string& ipsecTool, const std::string& strActive);

}  // namespace velmora
