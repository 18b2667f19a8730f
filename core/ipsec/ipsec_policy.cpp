#include "core/ipsec/ipsec_policy.h"

#include "core/ipsec/policy_tool.h"
#include "core/system/under_way.h"
#include "core/ipsec/windows_version.h"
#include "core/text/text.h"

namespace velmora {

namespace {

std::string whyRunFailed(std::uint32_t status) {
    if (status == static_cast<std::uint32_t>(kPolicyNotRecorded)) {
        return "策略工具无法记下本机原先指派的IPSec策略（退出码 1013），因此没有指派本程序的策略";
    }
    if (status == static_cast<std::uint32_t>(kPolicyToolBusy)) {
        return "另一个程序长时间占用策略工具（退出码 258），请稍后再试";
    }
    if (status == static_cast<std::uint32_t>(kBadPolicyArguments)) {
        return "策略工具不接受这些设置（退出码 87），请检查远端内网地址、掩码和预共享的密钥。";
    }
    return "策略工具通过 netsh 设置策略时出错（退出码 " + exitStatusText(status) + "）。";
}

// A run that has not ended by then is taken to hang (netsh stuck, or the tool's mutex held by a
// program that does not let go): it is ended so that Connect, Stop and the program's end go on.
void endRunPastItsLimit(RunningProgram& program, EventLoop& loop) {
    program.terminate();
    (void)loop.waitAtMost(program, 1000);
}

}  // namespace

void IpsecPolicy::setIpsecTool(const std::string& tool) {
    ipsecTool_ = tool;
    // What ipsecpol's and ipseccmd's statuses say about the rule stored is not known: they go into
    // the log and fail nothing.
    statusCounts_ = tool == kPolicyToolName;
}

bool IpsecPolicy::mayGoOn(unsigned call, bool applying) const {
    return call == latestCall_ && !(applyRefused_ && applying);
}

std::optional<std::string> IpsecPolicy::runLine(const PolicyRun& run,
                                                std::vector<std::optional<std::uint32_t>>& statuses) {
    Started started = operations_.startPolicyRun(run);
    auto& program = started.program;
    if (started.refused) {
        log_.operationRefused(started.failure);
        return started.failure;
    }
    if (!program) {
        statuses.push_back(std::nullopt);
        return started.failure;
    }
    RunningProgram* const beneath = runUnderWay_;
    runUnderWay_ = program.get();
    std::optional<std::uint32_t> status = loop_.waitAtMost(*program, kPolicyRunLimitSeconds * 1000);
    runUnderWay_ = beneath;
    const bool pastLimit = !status && !program->exitStatus();
    if (pastLimit) {
        endRunPastItsLimit(*program, loop_);
    }
    status = program->exitStatus();
    statuses.push_back(status);
    if (pastLimit) {
        return "策略工具运行超过 " + std::to_string(kPolicyRunLimitSeconds) + " 秒没有结束，已被结束";
    }
    if (!statusCounts_ || status.value_or(0) == 0) {
        return std::nullopt;
    }
    return whyRunFailed(*status);
}

void IpsecPolicy::logRuns(Runs& runs) {
    if (runs.ranLine && !runs.logged) {
        runs.logged = true;
        log_.policyPair(runs.strActive, ipsecTool_, runs.statuses);
    }
}

PolicyResult IpsecPolicy::config_ipsec(const std::string& strActive) {
    const bool applying = strActive == kPolicyOn;
    if (applyRefused_ && applying) {
        return {PolicyResult::superseded, {}};
    }
    const ConnProfile values = applying || !applied_ ? readProfile(window_) : *applied_;
    const auto run = [&](RuleDirection rule) {
        return PolicyRun{rule,
                         applying,
                         trimBlanks(values.txtlocal),
                         trimBlanks(values.txtpeer),
                         trimBlanks(values.txtpeermask),
                         values.txtpreshare,
                         values.comalg};
    };
    const unsigned call = ++latestCall_;
    const bool nested = running_ > 0;
    const UnderWay running(running_);
    Runs runs{strActive, {}, false, false};
    Runs* const beneath = runsUnderWay_;
    runsUnderWay_ = &runs;
    struct Restore {
        Runs*& underWay;
        Runs* beneath;
        ~Restore() { underWay = beneath; }
    } restore{runsUnderWay_, beneath};
    if (nested) {
        // The run beneath ends before this call's first line starts.
        if (runUnderWay_ != nullptr && !loop_.waitAtMost(*runUnderWay_, kPolicyRunLimitSeconds * 1000) &&
            !runUnderWay_->exitStatus()) {
            endRunPastItsLimit(*runUnderWay_, loop_);
        }
        if (!mayGoOn(call, applying)) {
            return {PolicyResult::superseded, {}};
        }
    }
    if (applying) {
        applied_ = values;
        mayBeInForce_ = true;
    }
    // The pair beneath runs nothing more: its line goes into the log before this pair's.
    if (beneath != nullptr) {
        logRuns(*beneath);
    }
    PolicyResult result{PolicyResult::done, {}};
    for (const RuleDirection rule : {RuleDirection::outbound, RuleDirection::inbound}) {
        if (rule == RuleDirection::inbound && !mayGoOn(call, applying)) {
            result = {PolicyResult::superseded, {}};
            break;
        }
        runs.ranLine = true;
        const std::optional<std::string> failure = runLine(run(rule), runs.statuses);
        if (failure && mayGoOn(call, applying) && result.outcome == PolicyResult::done) {
            result = {PolicyResult::failed, *failure};
            // An apply assigns nothing more; a withdrawal takes back all it can.
            if (applying) {
                break;
            }
        }
    }
    logRuns(runs);
    if (result.outcome == PolicyResult::done && !mayGoOn(call, applying)) {
        result.outcome = PolicyResult::superseded;
    }
    if (!applying && result.outcome == PolicyResult::done) {
        mayBeInForce_ = false;
    }
    return result;
}

}  // namespace velmora
