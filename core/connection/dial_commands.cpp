#include "core/connection/dial_commands.h"

#include <algorithm>

#include "core/connection/phonebook.h"
#include "core/text/command_line.h"
#include "core/text/text.h"

namespace velmora {

namespace {

// Only ASCII letters change case: the hardware code is hexadecimal.
std::string asciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

}  // namespace

std::string dialPassword(const ConnProfile& profile) {
    return asciiLower(leftChars(profile.txtHD, 12)) + trimBlanks(profile.txtPasswd);
}

DialPhonebook dialPhonebook(const ConnProfile& profile) {
    return profile.Option1 == kProtocolL2tp ? DialPhonebook::l2tp : DialPhonebook::pptp;
}

std::string phonebookFileName(DialPhonebook phonebook) {
    switch (phonebook) {
    case DialPhonebook::l2tp: return kL2tpPhonebook;
    case DialPhonebook::pptp: return kPptpPhonebook;
    case DialPhonebook::defaultGateway: return kDefaultGatePhonebook;
    }
    return {};
}

std::string rasdialLine(const DialRequest& dial, const std::string& phonebookPath) {
    return std::string("rasdial ") + kEntryName + " " + quoteArgument(dial.user) + " " + quoteArgument(dial.password) +
           " /PHONE:" + quoteArgument(dial.server) + " /PHONEBOOK:" + quoteArgument(phonebookPath) + " ";
}

std::string routeLine(const Route& route) {
    return "route add " + route.network + " mask " + quoteArgument(route.mask) + " " + route.gateway + " metric 1";
}

std::string routeDeleteLine(const Route& route) {
    return "route delete " + route.network + " mask " + quoteArgument(route.mask) + " " + route.gateway;
}

}  // namespace velmora
