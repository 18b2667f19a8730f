// Applying and withdrawing the IPsec policy: each call runs its pair of policy commands,
// outbound first, each run waited for before the next starts, while the window stays responsive.
// The last call wins: a call made during the waits of another (a click, a tick or the program's
// end handled there) takes over once the run under way has ended, and the call beneath it runs
// nothing more, so that the policy ends in the state that was asked for last and the runs take
// effect in the order they were asked for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ipsec/policy_commands.h"
#include "core/log/connection_log.h"
#include "core/profile/conn_profile.h"
#include "core/profile/control_surface.h"
#include "core/service/operations.h"
#include "platform/event_loop.h"

namespace velmora {

// How long one run of the policy tool may take before it is ended and counted as failed.
inline constexpr std::uint32_t kPolicyRunLimitSeconds = 60;

struct PolicyResult {
    enum Outcome {
        done,        // both lines ran (and, where the tool's status counts, succeeded)
        superseded,  // a later call took over, or applying is refused: this one stopped
        failed,      // a run failed (an apply then ran no further line)
    };
    Outcome outcome = done;
    std::string failure;  // why, for the user, when failed
};

class IpsecPolicy {
public:
    IpsecPolicy(ControlSurface& window, Operations& operations, EventLoop& loop, ConnectionLog& log)
        : window_(window), operations_(operations), loop_(loop), log_(log) {}

    // The policy tool's name (chooseIpsecTool), which the operations start for each line; set once
    // at start-up before any policy command. Only velmora-ipsec's exit status says whether its rule
    // was stored; the old tools' statuses are logged and fail nothing.
    void setIpsecTool(const std::string& tool);
    const std::string& ipsecTool() const { return ipsecTool_; }

    // Runs both lines with strActive (kPolicyOn or kPolicyOff) at their end: outbound, then
    // inbound, each waited for at most kPolicyRunLimitSeconds (then it is ended) before the next
    // starts, whatever the tool. A run that cannot start or is ended so fails the call, as does a
    // line the operations refuse and a velmora-ipsec run that ends with a status other than 0: an
    // apply runs no further line, a withdrawal
    // still runs the other and reports the first failure. An apply composes the
    // lines from the window's profile now and keeps those values; a withdrawal composes them from
    // the values last applied, so that it withdraws what was applied whatever the fields hold
    // now (from the window's profile when nothing was applied yet). A call made during another
    // call's waits waits for that call's run to end (within the same limit), then runs its own
    // pair;
    // the call beneath runs no further line and reports superseded, so a caller that goes on
    // afterwards checks again what it depends on. After refuseApplying, an apply runs nothing.
    // A call that ran a line is logged, with each run's exit status, when it ends or
    // when a call made during its waits runs its first line, whichever comes first.
    PolicyResult config_ipsec(const std::string& strActive);

    // The program is ending: from now on the policy is only ever withdrawn, and a pair that is
    // applying it runs no further line.
    void refuseApplying() { applyRefused_ = true; }

    // True from an apply that ran a line until a withdrawal that ran both of its lines: there
    // may be something of this program's to withdraw.
    bool mayBeInForce() const { return mayBeInForce_; }

    // True while a pair is running (its waits included).
    bool ipsecBusy() const { return running_ > 0; }

private:
    // What a call has run, for its log line.
    struct Runs {
        std::string strActive;
        std::vector<std::optional<std::uint32_t>> statuses;
        bool ranLine;
        bool logged;
    };

    // Logs a call that ran a line, once.
    void logRuns(Runs& runs);
    // Whether the call numbered call may run its next line.
    bool mayGoOn(unsigned call, bool applying) const;
    // Starts one line, waits for it, keeps its exit status and tells why it failed, if it did.
    std::optional<std::string> runLine(const PolicyRun& run, std::vector<std::optional<std::uint32_t>>& statuses);

    ControlSurface& window_;
    Operations& operations_;
    EventLoop& loop_;
    ConnectionLog& log_;
    std::string ipsecTool_;
    bool statusCounts_ = false;  // velmora-ipsec's: a status other than 0 fails the call
    std::optional<ConnProfile> applied_;  // the values of the last apply that ran a line
    RunningProgram* runUnderWay_ = nullptr;  // the run being waited for
    Runs* runsUnderWay_ = nullptr;           // the innermost call under way
    unsigned latestCall_ = 0;  // the number of the call that owns the policy now
    int running_ = 0;          // calls under way, the nested ones included
    bool applyRefused_ = false;
    bool mayBeInForce_ = false;
};

}  // namespace velmora
