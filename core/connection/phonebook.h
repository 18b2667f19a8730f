// The phonebook files the dialer names, each holding the one entry every dial uses: ipsec.pbk
// for L2TP and pptp.pbk for PPTP, and defaultgate.pbk for the default-gateway dial. Their
// contents never depend on the profile.
#pragma once

#include <string>
#include <vector>

namespace velmora {

inline constexpr const char* kL2tpPhonebook = "ipsec.pbk";
inline constexpr const char* kPptpPhonebook = "pptp.pbk";

// The lines of the phonebook for a protocol (kProtocolL2tp or kProtocolPptp), in file order.
std::vector<std::string> phonebookLines(int protocol);

// The lines of defaultgate.pbk. The program never writes it: the installer puts it beside
// velmora.exe, where the default-gateway dial looks for it.
std::vector<std::string> defaultGatewayPhonebookLines();

}  // namespace velmora
