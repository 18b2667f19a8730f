// Whom the service serves: what it learnt of a client from the channel itself (the client's
// token), never from anything the client wrote, and the administrator's limit on it.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct ClientFacts {
    std::string user;            // "DOMAIN\name", for the log
    std::string sid;             // the user's SID as text
    std::uint32_t session = 0;   // the Windows session the client runs in
    bool administrator = false;  // a member of Administrators, its rights raised or not
    bool interactive = false;    // logged on at this computer (the INTERACTIVE group)
    bool remote = false;         // came over the network
    bool lowIntegrity = false;   // below the medium integrity level (a sandboxed program)
    bool inAllowedGroup = false; // a member of the group the administrator named, if one is named
};

// Where the administrator names that group: a REG_SZ under the policy key
// (HKLM\SOFTWARE\Policies\Velmora\VPN), set by the administrative template or by hand.
inline constexpr const char* kAllowedGroupValue = "ALLOWEDGROUP";

// The administrator's limit: the local group whose members may use the service (empty: every
// interactive user may). Administrators always may.
struct AccessPolicy {
    std::string allowedGroup;
};

struct ClientDecision {
    bool served = false;
    std::string refusal;  // why not, for the user (Chinese)
};

ClientDecision decideClient(const ClientFacts& facts, const AccessPolicy& policy);

}  // namespace velmora
