// The command lines of a dial: rasdial for the entry every dial names, and route add for a
// remote network through the tunnel's address. Values the user typed are quoted only when they
// hold a blank, a tab or a double quote (quoteArgument), so ordinary lines keep their exact form.
#pragma once

#include <string>

#include "core/profile/conn_profile.h"

namespace velmora {

// The phonebook the default-gateway dial names, which the installer puts beside the program.
inline constexpr const char* kDefaultGatePhonebook = "defaultgate.pbk";

// The first 12 characters of txtHD (untrimmed) in lower case, then the trimmed password.
std::string dialPassword(const ConnProfile& profile);

// The phonebook a dial of the profile names: ipsec.pbk for L2TP, else pptp.pbk.
std::string phonebookName(const ConnProfile& profile);

// "rasdial corvinaltexum <user> <dial password> /PHONE:<server> /PHONEBOOK:<data folder><ipsec.pbk
// for L2TP, else pptp.pbk> ", ending in one blank.
std::string rasdialLine(const ConnProfile& profile, const std::string& dataFolder);

// The default-gateway dial's phonebook: defaultgate.pbk in the program's folder, by its full
// path, so that rasdial (which runs in the system folder) reads the installed one and no other.
std::string defaultGatePhonebookPath(const std::string& programFolder);

// As rasdialLine with the password alone and " /PHONEBOOK:<defaultGatePhonebookPath> " at the end,
// the path quoted when it holds a blank.
std::string defaultGateRasdialLine(const ConnProfile& profile, const std::string& programFolder);

// "route add <network> mask <mask> <gateway> metric 1"; the mask as the user typed it (trimmed).
std::string routeLine(const std::string& network, const std::string& mask, const std::string& gateway);

}  // namespace velmora
