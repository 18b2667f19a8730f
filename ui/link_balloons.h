// Which changes of the link the tray tells in a balloon: those nobody asked for (the link lost,
// back without the user, a run of redials failing, the IPsec policy not in force), each once, at
// the change.
#pragma once

#include "core/connection/link_status.h"

namespace velmora {

struct Balloon {
    const char* text = nullptr;  // none: nothing to tell
    bool warning = false;
};

class LinkBalloons {
public:
    // The balloon for the link's status as it is now, against the status last seen. asked: the
    // change comes from the user's own command (or a script's), which answers for itself. Only a
    // link lost unasked is told when it comes back.
    Balloon next(const LinkStatus& status, bool asked);

private:
    bool up_ = false;
    int failures_ = 0;
    LinkStatus::Policy policy_ = LinkStatus::Policy::nothingToSay;
    bool lostUnasked_ = false;
};

}  // namespace velmora
