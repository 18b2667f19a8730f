// The command lines of a dial: rasdial for the entry every dial names, and route add or delete
// for a remote network through the tunnel's address. Values are quoted only when they hold a
// blank, a tab or a double quote (quoteArgument), so ordinary lines keep their exact form.
#pragma once

#include <string>

#include "core/profile/conn_profile.h"
#include "core/service/operations.h"

namespace velmora {

// The phonebook the default-gateway dial names, which the installer puts beside the programs.
inline constexpr const char* kDefaultGatePhonebook = "defaultgate.pbk";

// The first 12 characters of txtHD (untrimmed) in lower case, then the trimmed password.
std::string dialPassword(const ConnProfile& profile);

// The phonebook of a dial of the profile: the L2TP one (ipsec.pbk) for L2TP, else the PPTP one.
DialPhonebook dialPhonebook(const ConnProfile& profile);

// The file name of a phonebook: ipsec.pbk, pptp.pbk or defaultgate.pbk.
std::string phonebookFileName(DialPhonebook phonebook);

// "rasdial corvinaltexum <user> <password> /PHONE:<server> /PHONEBOOK:<phonebook> ", ending in one
// blank; rasdial runs in the system folder, so the phonebook is named by its full path.
std::string rasdialLine(const DialRequest& dial, const std::string& phonebookPath);

// "route add <network> mask <mask> <gateway> metric 1"; the mask as the user typed it (trimmed).
std::string routeLine(const Route& route);

// "route delete <network> mask <mask> <gateway>": takes back what routeLine added.
std::string routeDeleteLine(const Route& route);

}  // namespace velmora
