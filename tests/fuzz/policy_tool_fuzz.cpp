// libFuzzer target for velmora-ipsec: arbitrary bytes as its arguments, and as the profile whose
// policy lines velmora.exe would hand it. Checks on every input the promises of the argument
// reader and the netsh steps, and that the tool takes every profile the window takes, storing the
// values the window meant.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ipsec/netsh_policy.h"
#include "core/ipsec/policy_commands.h"
#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/text/text.h"

namespace velmora {
namespace {

void require(bool promise) {
    if (!promise) {
        std::abort();
    }
}

std::vector<std::string> fields(const std::string& bytes) {
    std::vector<std::string> out(1);
    for (const char c : bytes) {
        if (c == '\n') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// The arguments after the program's name, as Windows programs split a command line: blanks and
// tabs separate them outside quotes; backslashes count only before a double quote, where each
// pair is one backslash and an odd one escapes the quote.
std::vector<std::string> splitArguments(const std::string& line) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    bool inArgument = false;
    std::size_t backslashes = 0;
    for (const char c : line) {
        if (c == '\\') {
            ++backslashes;
            inArgument = true;
            continue;
        }
        if (c == '"') {
            current.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                current += '"';
            } else {
                quoted = !quoted;
            }
            backslashes = 0;
            inArgument = true;
            continue;
        }
        current.append(backslashes, '\\');
        backslashes = 0;
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) {
                arguments.push_back(current);
                current.clear();
                inArgument = false;
            }
            continue;
        }
        current += c;
        inArgument = true;
    }
    current.append(backslashes, '\\');
    if (inArgument) {
        arguments.push_back(current);
    }
    return {arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end()};
}

bool plain(const std::string& address) {
    return checkip(address) && address.find_first_not_of("0123456789.") == std::string::npos &&
           getipnetaddress(address, "255.255.255.255") == address;
}

void readAsArguments(const std::string& bytes) {
    const std::vector<std::string> arguments = fields(bytes);
    const auto request = parsePolicyArguments(arguments);
    if (!request) {
        return;
    }
    require(!request->assign || request->rule.has_value());
    const std::vector<NetshStep> steps = netshSteps(*request);
    require(!steps.empty() && steps.back().required);
    require(steps.back().commandLine.find(request->assign ? " assign=yes" : " assign=no") != std::string::npos);
    if (request->rule) {
        const PolicyRule& rule = *request->rule;
        for (const std::string* address : {&rule.source.address, &rule.source.mask, &rule.destination.address,
                                           &rule.destination.mask, &rule.tunnel}) {
            require(plain(*address));
        }
        require(steps.size() == 9);
        require(!rule.presharedKey.empty());
        require(steps[7].commandLine.find(" kerberos=no psk=") != std::string::npos);
    }
}

// Fields: this computer's address, network 1's address and mask, the key, the suite's number.
void composeAsProfile(const std::string& bytes) {
    const std::vector<std::string> f = fields(bytes);
    if (f.size() < 5 || f[4].empty()) {
        return;
    }
    ConnProfile p = designTimeProfile();
    p.txtlocal = f[0];
    p.txtpeer = f[1];
    p.txtpeermask = f[2];
    p.txtpreshare = f[3];
    p.comalg = kCipherSuites[static_cast<unsigned char>(f[4][0]) % kCipherSuites.size()];
    const std::string key = trimBlanks(p.txtpreshare);
    // What the window lets through to velmora-ipsec: valid addresses, a key of at least six
    // characters that is not all blanks and holds no double quote; a text box holds no line end.
    if (!checkip(trimBlanks(p.txtlocal)) || !checkip(trimBlanks(p.txtpeer)) || !checkip(trimBlanks(p.txtpeermask)) ||
        charCount(p.txtpreshare) < 6 || key.empty() || p.txtpreshare.find_first_of("\"\r\n") != std::string::npos) {
        return;
    }
    for (const char* active : {kPolicyOn, kPolicyOff}) {
        const PolicyLines lines = policyLines(p, "velmora-ipsec", active);
        for (const std::string* line : {&lines.outbound, &lines.inbound}) {
            const auto request = parsePolicyArguments(splitArguments(*line));
            require(request.has_value() && request->rule.has_value());
            const PolicyRule& rule = *request->rule;
            require(rule.presharedKey == key);
            const std::string local = getipnetaddress(trimBlanks(p.txtlocal), "255.255.255.255");
            const std::string network = getipnetaddress(trimBlanks(p.txtpeer), trimBlanks(p.txtpeermask));
            const bool outbound = line == &lines.outbound;
            require((outbound ? rule.source : rule.destination).address == local);
            require((outbound ? rule.destination : rule.source).address == network);
            require(rule.tunnel == (outbound ? getipnetaddress(trimBlanks(p.txtpeer), "255.255.255.255") : local));
        }
    }
}

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    velmora::readAsArguments(bytes);
    velmora::composeAsProfile(bytes);
    return 0;
}
