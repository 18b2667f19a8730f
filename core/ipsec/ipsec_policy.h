// Applying and withdrawing the IPsec policy: each call starts its pair of policy commands,
// outbound first, one second apart, while the window stays responsive. The last call wins: a
// call made during the pauses of another (a click, a tick or the program's end handled there)
// takes over, and the call beneath it starts nothing more, so that the policy ends in the
// state that was asked for last.
#pragma once

#include <string>

#include "core/ipsec/policy_commands.h"
#include "core/profile/control_surface.h"
#include "platform/event_loop.h"
#include "platform/processes.h"

namespace velmora {

class IpsecPolicy {
public:
    IpsecPolicy(ControlSurface& window, Processes& processes, EventLoop& loop)
        : window_(window), processes_(processes), loop_(loop) {}

    // The policy tool's program name (chooseIpsecTool), set once at start-up before any policy
    // command; both lines start with it.
    void setIpsecTool(const std::string& tool) { ipsecTool_ = tool; }

    // Composes both lines from the window's profile now, with strActive (kPolicyOn or
    // kPolicyOff) at their end, and starts them hidden: outbound, a pause of one second,
    // inbound, another second. A call made during another call's pauses first waits one second
    // more, so that no two policy commands ever start less than a second apart, then starts its
    // own pair; the call beneath it starts no further line, so a caller that goes on afterwards
    // checks again what it depends on. After refuseApplying, a kPolicyOn call starts nothing.
    void config_ipsec(const std::string& strActive);

    // The program is ending: from now on the policy is only ever withdrawn, and a pair that is
    // applying it starts no further line.
    void refuseApplying() { applyRefused_ = true; }

    // True while a pair is being started (its pauses included).
    bool ipsecBusy() const { return running_ > 0; }

private:
    // Whether the call numbered call may start its next line.
    bool mayGoOn(unsigned call, const std::string& strActive) const;

    ControlSurface& window_;
    Processes& processes_;
    EventLoop& loop_;
    std::string ipsecTool_;
    unsigned latestCall_ = 0;  // the number of the call that owns the policy now
    int running_ = 0;          // calls under way, the nested ones included
    bool applyRefused_ = false;
};

}  // namespace velmora
