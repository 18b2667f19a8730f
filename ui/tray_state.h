// What the tray icon shows of the link: one of three images, and a tip whose first line names
// the program and whose second names the protocol and says what is happening.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/connection/link_status.h"

namespace velmora {

enum class TrayImage { notConnected, working, connected };

struct TrayState {
    TrayImage image = TrayImage::notConnected;
    std::string tip;

    bool operator==(const TrayState& other) const { return image == other.image && tip == other.tip; }
    bool operator!=(const TrayState& other) const { return !(*this == other); }
};

// The protocol a session of the window's profile runs, as the tip names it: "L2TP/IPSec" for
// L2TP with the IPsec policy, else "L2TP" or "PPTP".
std::string protocolInUse(bool ipsec, bool l2tp);

// How long the link has been up, as the tip says it: "<m>分" under an hour, else "<h>小时<mm>分".
std::string upTimeText(std::uint32_t seconds);

// The state for the link's status; address is the tunnel's address (the trimmed txtlocal),
// shown while the link is up, and upSeconds how long it has been up, shown after it where the
// tip still fits (a note on the IPsec policy goes first); protocol (protocolInUse) leads the
// second line, which has none when it is empty (the profile not read yet). The tip fits the
// oldest shell's 63 bytes in the ANSI code page whatever the address.
TrayState trayState(const LinkStatus& status, const std::string& address, const std::string& protocol,
                    std::optional<std::uint32_t> upSeconds = std::nullopt);

}  // namespace velmora
