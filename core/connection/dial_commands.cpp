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

std::string rasdialStart(const ConnProfile& profile, const std::string& password) {
    return std::string("rasdial ") + kEntryName + " " + quoteArgument(trimBlanks(profile.txtUserName)) + " " +
           quoteArgument(password) + " /PHONE:" + quoteArgument(trimBlanks(profile.txtServerAddress));
}

}  // namespace

std::string dialPassword(const ConnProfile& profile) {
    return asciiLower(leftChars(profile.txtHD, 12)) + trimBlanks(profile.txtPasswd);
}

std::string phonebookName(const ConnProfile& profile) {
    return profile.Option1 == kProtocolL2tp ? kL2tpPhonebook : kPptpPhonebook;
}

std::string rasdialLine(const ConnProfile& profile, const std::string& dataFolder) {
    return rasdialStart(profile, dialPassword(profile)) + " /PHONEBOOK:" + dataFolder + phonebookName(profile) + " ";
}

std::string defaultGatePhonebookPath(const std::string& programFolder) {
    return programFolder + "\\" + kDefaultGatePhonebook;
}

std::string defaultGateRasdialLine(const ConnProfile& profile, const std::string& programFolder) {
    return rasdialStart(profile, trimBlanks(profile.txtPasswd)) + " /PHONEBOOK:" +
           quoteArgument(defaultGatePhonebookPath(programFolder)) + " ";
}

std::string routeLine(const std::string& network, const std::string& mask, const std::string& gateway) {
    return "route add " + network + " mask " + quoteArgument(mask) + " " + gateway + " metric 1";
}

}  // namespace velmora
