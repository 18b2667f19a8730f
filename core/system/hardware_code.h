// The hardware code that can go in front of the dial password, so that the server can verify
// the computer: from the processor identifier and the first network adapter's address.
#pragma once

#include <string>

#include "platform/ip_helper.h"
#include "platform/management_service.h"

namespace velmora {

// Every adapter's hardware address in upper-case hexadecimal without separators, each
// followed by CR LF ("001A2B3C4D5E\r\n..."); empty without adapters.
std::string LocalMACAddress(IpHelper& ipHelper);

// The first four characters of the processor identifier (the last processor's), characters 9
// to 12 of the address text, and the identifier's last four characters; empty when the
// identifier has fewer than four characters.
std::string getHDCode(ManagementService& management, IpHelper& ipHelper);

}  // namespace velmora
