// Who this process runs for.
#pragma once

#include <string>

namespace velmora {

// The SID (as text, "S-1-5-21-...") of the user this process runs for; empty when it cannot be read.
std::wstring processUserSid();

}  // namespace velmora
