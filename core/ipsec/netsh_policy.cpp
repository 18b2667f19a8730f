#include "core/ipsec/netsh_policy.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <utility>

#include "core/profile/validation.h"
#include "core/text/command_line.h"

namespace velmora {

// How each piece of the old tools' static-mode arguments is put into `netsh ipsec static`, one
// rule per run, as velmora.exe starts one run per rule:
//
//   old tool                 netsh ipsec static
//   -w REG                   the local store: netsh's store unless told otherwise ("set store"
//                            lasts only for one netsh session, so nothing is said)
//   -p "<policy>"            add policy name=<policy> activatedefaultrule=no assign=no
//                              fails, changing nothing, when the policy exists: it keeps its
//                              other rule and its assignment, and the rule is replaced in it
//                              pollinginterval is not given: -p without ":<minutes>" left it to the
//                              old tools' default, this leaves it to netsh's
//                              activatedefaultrule=no: the policy holds its two rules and nothing else
//   -r "<rule>"              delete rule name=<rule> policy=<policy>, later add rule name=<rule>:
//                              a second Connect replaces the rule instead of adding another
//                              the rule's filter list and filter action carry the rule's name;
//                              they are deleted after the rule (netsh refuses to delete what a
//                              rule uses) and added anew before it
//   -f A/M=B/N               add filterlist name=<rule>
//                            add filter filterlist=<rule> srcaddr=A srcmask=M dstaddr=B dstmask=N
//                              protocol=ANY mirrored=no
//                              "=" is one direction only; a tunnel filter must not be mirrored,
//                              the way back is the other rule with its own endpoint
//                              no port and no protocol in the filter text: all of them
//   -n ESP[C,H]<s>s/<k>k     add filteraction name=<rule> qmpfs=no inpass=no soft=no
//                              action=negotiate qmsecmethods=ESP[C,H]:<k>k/<s>s
//                              C: DES, 3DES; NONE is netsh's None
//                              H: MD5; SHA (the old tools' name for SHA1) is SHA1; NONE is None
//                              negotiate, never fall back to clear text (soft=no, the old tools
//                              without -soft), accept no unsecured inbound traffic (inpass=no),
//                              no quick-mode PFS (qmpfs=no: the text ends without "PFS")
//                              rekey after 3600 s or 100000 KB, whichever comes first
//   -a preshare:<key>        psk=<key> on the rule, its only authentication: kerberos=no is said
//                              outright, so that no version of netsh offers Kerberos first
//   -t <endpoint>            tunnel=<endpoint> on the rule
//   neither -dialup nor -lan conntype=all on the rule
//   (the rule is in force)   activate=yes on the rule
//   -x / -y                  set policy name=<policy> assign=yes / assign=no, the last step
//   main mode (no -1s, -1k,  netsh's defaults for the policy, as the old tools used theirs
//   -1p in the lines)
//
// Both -x and -y store the rule as asked and only then set the assignment, as the old tools did.
// Each value goes in as one argument (quoteArgument), blanks and quotes included.

namespace {

constexpr const char* kNetsh = "netsh ipsec static ";

bool allDigits(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// The address as four plain decimals, for any text the window takes for an address (blanks
// around a part, a sign, leading zeros, a fraction in the last part: checkip), so that the tool
// stores what the window accepted; nothing for any other text.
std::optional<std::string> plainAddress(const std::string& text) {
    if (!checkip(text)) {
        return std::nullopt;
    }
    return getipnetaddress(text, "255.255.255.255");
}

// "address/mask", both addresses.
std::optional<PolicyAddress> parseAddress(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const auto address = plainAddress(text.substr(0, slash));
    const auto mask = plainAddress(text.substr(slash + 1));
    if (!address || !mask) {
        return std::nullopt;
    }
    return PolicyAddress{*address, *mask};
}

std::optional<std::string> netshName(const std::string& oldName,
                                     const std::array<std::pair<const char*, const char*>, 3>& names) {
    for (const auto& [from, to] : names) {
        if (oldName == from) {
            return std::string(to);
        }
    }
    return std::nullopt;
}

// "<digits><unit>"; the digits, or nothing.
std::optional<std::string> lifetime(const std::string& text, char unit) {
    if (text.size() < 2 || text.back() != unit) {
        return std::nullopt;
    }
    const std::string digits = text.substr(0, text.size() - 1);
    return allDigits(digits) ? std::optional<std::string>(digits) : std::nullopt;
}

// "ESP[<cipher>,<hash>]<seconds>s/<kilobytes>k".
bool parseNegotiation(const std::string& text, PolicyRule& rule) {
    const std::string esp = "ESP[";
    const std::size_t close = text.find(']');
    const std::size_t comma = text.find(',');
    if (text.compare(0, esp.size(), esp) != 0 || close == std::string::npos || comma == std::string::npos ||
        comma > close) {
        return false;
    }
    const auto cipher = netshName(text.substr(esp.size(), comma - esp.size()),
                                  {{{"DES", "DES"}, {"3DES", "3DES"}, {"NONE", "None"}}});
    const auto hash =
        netshName(text.substr(comma + 1, close - comma - 1), {{{"MD5", "MD5"}, {"SHA", "SHA1"}, {"NONE", "None"}}});
    if (!cipher || !hash || (*cipher == "None" && *hash == "None")) {
        return false;
    }
    const std::string rekey = text.substr(close + 1);
    const std::size_t slash = rekey.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    const auto seconds = lifetime(rekey.substr(0, slash), 's');
    const auto kilobytes = lifetime(rekey.substr(slash + 1), 'k');
    if (!seconds || !kilobytes) {
        return false;
    }
    rule.cipher = *cipher;
    rule.hash = *hash;
    rule.seconds = *seconds;
    rule.kilobytes = *kilobytes;
    return true;
}

std::optional<PolicyRule> parseRule(const std::map<std::string, std::string>& options) {
    const auto value = [&](const char* option) {
        const auto found = options.find(option);
        return found == options.end() ? std::string() : found->second;
    };
    PolicyRule rule;
    rule.name = value("-r");

    // One filter, source "=" destination; mirrored ("+" in place of "="), ports and protocols
    // are not asked for. A "+" can still lead a part of an address, as a sign.
    const std::string filter = value("-f");
    const std::size_t equals = filter.find('=');
    if (equals == std::string::npos || filter.find('=', equals + 1) != std::string::npos ||
        filter.find(':') != std::string::npos) {
        return std::nullopt;
    }
    const auto source = parseAddress(filter.substr(0, equals));
    const auto destination = parseAddress(filter.substr(equals + 1));

    const std::string preshare = "preshare:";
    const std::string authentication = value("-a");
    rule.presharedKey = authentication.substr(std::min(preshare.size(), authentication.size()));
    const auto tunnel = plainAddress(value("-t"));
    if (rule.name.empty() || !source || !destination || !parseNegotiation(value("-n"), rule) ||
        authentication.compare(0, preshare.size(), preshare) != 0 || rule.presharedKey.empty() || !tunnel) {
        return std::nullopt;
    }
    rule.tunnel = *tunnel;
    rule.source = *source;
    rule.destination = *destination;
    return rule;
}

}  // namespace

std::optional<PolicyRequest> parsePolicyArguments(const std::vector<std::string>& arguments) {
    static const std::array<const char*, 7> kValued = {"-w", "-p", "-r", "-f", "-n", "-a", "-t"};
    std::map<std::string, std::string> options;
    std::optional<bool> assign;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-x" || argument == "-y") {
            if (assign) {
                return std::nullopt;
            }
            assign = argument == "-x";
            continue;
        }
        bool valued = false;
        for (const char* option : kValued) {
            valued = valued || argument == option;
        }
        if (!valued || i + 1 == arguments.size() || !options.emplace(argument, arguments[i + 1]).second) {
            return std::nullopt;
        }
        ++i;
    }
    const auto policy = options.find("-p");
    const auto store = options.find("-w");
    if (!assign || store == options.end() || store->second != "REG" || policy == options.end() ||
        policy->second.empty()) {
        return std::nullopt;
    }
    PolicyRequest request{policy->second, *assign, parseRule(options)};
    if (request.assign && !request.rule) {
        return std::nullopt;
    }
    return request;
}

NetshStep reassignStep(const std::string& policy) {
    return {std::string(kNetsh) + "set policy name=" + quoteArgument(policy) + " assign=yes", true};
}

std::vector<NetshStep> netshSteps(const PolicyRequest& request) {
    const std::string policy = quoteArgument(request.policy);
    const NetshStep assignment{std::string(kNetsh) + "set policy name=" + policy +
                                   (request.assign ? " assign=yes" : " assign=no"),
                               true};
    if (!request.rule) {
        return {assignment};
    }
    const PolicyRule& rule = *request.rule;
    const std::string name = quoteArgument(rule.name);
    const std::string netsh = kNetsh;
    const std::vector<NetshStep> deletion = {
        {netsh + "delete rule name=" + name + " policy=" + policy, false},
        {netsh + "delete filterlist name=" + name, false},
        {netsh + "delete filteraction name=" + name, false},
    };
    // The policy is there to be unassigned, even where no apply made it: a withdrawal of nothing
    // succeeds, and one that cannot unassign says so.
    const NetshStep policyThere{netsh + "add policy name=" + policy + " activatedefaultrule=no assign=no", false};
    // A withdrawn rule leaves nothing in the store: every user may read the store, and the rule
    // holds the preshared key.
    if (!request.assign) {
        std::vector<NetshStep> steps = {policyThere, assignment};
        steps.insert(steps.end(), deletion.begin(), deletion.end());
        return steps;
    }
    std::vector<NetshStep> steps = deletion;
    const std::vector<NetshStep> addition = {
        policyThere,
        {netsh + "add filterlist name=" + name, true},
        {netsh + "add filter filterlist=" + name + " srcaddr=" + rule.source.address + " srcmask=" +
             rule.source.mask + " dstaddr=" + rule.destination.address + " dstmask=" + rule.destination.mask +
             " protocol=ANY mirrored=no",
         true},
        {netsh + "add filteraction name=" + name + " qmpfs=no inpass=no soft=no action=negotiate qmsecmethods=ESP[" +
             rule.cipher + "," + rule.hash + "]:" + rule.kilobytes + "k/" + rule.seconds + "s",
         true},
        {netsh + "add rule name=" + name + " policy=" + policy + " filterlist=" + name + " filteraction=" + name +
             " tunnel=" + rule.tunnel + " conntype=all activate=yes kerberos=no psk=" + quoteArgument(rule.presharedKey),
         true},
        assignment,
    };
    steps.insert(steps.end(), addition.begin(), addition.end());
    return steps;
}

}  // namespace velmora
