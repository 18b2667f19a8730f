#include "core/ipsec/policy_commands.h"

#include <array>
#include <utility>

#include "core/profile/validation.h"
#include "core/text/command_line.h"
#include "core/text/text.h"

namespace velmora {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 6> kTransforms = {{
    {"ESP-DES", "ESP[DES,NONE]"},
    {"ESP-3DES", "ESP[3DES,NONE]"},
    {"ESP-DES-MD5", "ESP[DES,MD5]"},
    {"ESP-3DES-MD5", "ESP[3DES,MD5]"},
    {"ESP-DES-SHA", "ESP[DES,SHA]"},
    {"ESP-3DES-SHA", "ESP[3DES,SHA]"},
}};

constexpr const char* kHostMask = "255.255.255.255";

}  // namespace

std::string getalg(const std::string& alg) {
    for (const auto& [suite, transform] : kTransforms) {
        if (alg == suite) {
            return transform;
        }
    }
    return {};
}

const char* ruleName(RuleDirection rule) {
    return rule == RuleDirection::outbound ? "windows to zerta" : "zerta to windows";
}

PolicyLines policyLines(const ConnProfile& profile, const std::string& ipsecTool, const std::string& strActive) {
    const std::string peer = trimBlanks(profile.txtpeer);
    const std::string mask = trimBlanks(profile.txtpeermask);
    const std::string net = getipnetaddress(peer, mask);
    const std::string local = quoteArgument(trimBlanks(profile.txtlocal));
    const std::string key = quoteArgument(trimBlanks(profile.txtpreshare));
    const std::string transform = getalg(profile.comalg);
    const std::string network = net + "/" + quoteArgument(mask);
    const std::string host = local + "/" + kHostMask;

    const auto line = [&](const char* rule, const std::string& filter, const std::string& endpoint) {
        return ipsecTool + " -w REG -p \"corvinaltexum\" -r \"" + rule + "\" -f " + filter + " -n " + transform +
               "3600s/100000k -a preshare:" + key + " -t " + endpoint + strActive;
    };
    return {line(ruleName(RuleDirection::outbound), host + "=" + network, quoteArgument(peer)),
            line(ruleName(RuleDirection::inbound), network + "=" + host, local)};
}

}  // namespace velmora
