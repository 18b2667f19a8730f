// Applying and withdrawing the IPsec policy: each call starts its pair of policy commands,
// outbound first, one second apart, while the window stays responsive. Calls that arrive
// during a pair's pauses (a click or tick handled there) never interleave with it.
#pragma once

#include <deque>
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
    // inbound, another second. A call made while pairs are being started (from inside one of
    // the pauses) queues its pair and returns at once; the running call starts the queued
    // pairs after its own, in the order the calls came, so no call ever waits on a pause
    // beneath it.
    void config_ipsec(const std::string& strActive);

    // True while pairs are being started or wait their turn. Always false again once the
    // outermost call has returned, however it returned, so there is never a stale flag for
    // anyone (the window's activation included) to reset.
    bool ipsecBusy() const { return ipsecBusy_; }

private:
    ControlSurface& window_;
    Processes& processes_;
    EventLoop& loop_;
    std::string ipsecTool_;
    bool ipsecBusy_ = false;
    std::deque<PolicyLines> waiting_;
};

}  // namespace velmora
