// What the tray icon shows of the link: one of three images, and a tip whose first line names
// the program and whose second says what is happening.
#pragma once

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

// The state for the link's status; address is the tunnel's address (the trimmed txtlocal),
// shown while the link is up.
TrayState trayState(const LinkStatus& status, const std::string& address);

}  // namespace velmora
