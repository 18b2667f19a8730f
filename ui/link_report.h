// What 连接状态 tells of the link: the server, the tunnel's address, since when and for how long
// it has been up, what it has carried and whether the IPsec policy is in force.
#pragma once

#include <cstdint>
#include <string>

#include "core/connection/link_status.h"
#include "platform/clock.h"
#include "platform/remote_access.h"

namespace velmora {

struct LinkReport {
    bool up = false;
    std::string server;
    std::string address;  // the tunnel's; empty when unknown
    LocalTime since;      // when it came up
    std::uint32_t upSeconds = 0;
    ConnectionStatistics statistics;  // its bytes are told where the service knows them
    bool ipsec = false;               // the profile uses the IPsec policy
    LinkStatus::Policy policy = LinkStatus::Policy::nothingToSay;
    bool policyApplied = false;  // the program's policy may be in force (applied, not withdrawn)
};

// The report's text, one fact a line; with the link down, that it is not connected and what of
// the IPsec policy may still be in force.
std::string linkReportText(const LinkReport& report);

// A count of bytes as the report gives it: "512 字节", "1.5 KB", "20.0 MB", "3.2 GB".
std::string sizeText(std::uint64_t bytes);

}  // namespace velmora
