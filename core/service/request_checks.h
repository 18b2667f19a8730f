// The service's checks of a request's values, by the same rules as the window's, and a little
// stricter where a value would otherwise reach a command line unchecked: the service composes the
// command lines itself, and these values are all a client can give it.
#pragma once

#include <optional>
#include <string>

#include "core/service/service_protocol.h"

namespace velmora {

// Why the request's values may not be used (the field, in the user's words); nothing when they
// may. ipsecTool is the policy tool the service runs (chooseIpsecTool).
std::optional<std::string> checkRequest(const Request& request, const std::string& ipsecTool);

}  // namespace velmora
