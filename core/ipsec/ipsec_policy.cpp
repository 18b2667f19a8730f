#include "core/ipsec/ipsec_policy.h"

#include "core/ipsec/policy_tool.h"
#include "core/ipsec/windows_version.h"
#include "core/text/text.h"

namespace velmora {

namespace {

// Counts a call as under way for as long as it runs, however it returns.
class Running {
public:
    explicit Running(int& count) : count_(count) { ++count_; }
    ~Running() { --count_; }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    int& count_;
};

std::string whyRunFailed(const std::string& program, std::optional<std::uint32_t> status) {
    if (!status) {
        return "无法启动策略工具 " + program + "。";
    }
    if (*status == static_cast<std::uint32_t>(kBadPolicyArguments)) {
        return "策略工具不接受这些设置（退出码 87），请检查远端内网地址、掩码和预共享的密钥。";
    }
    return "策略工具通过 netsh 设置策略时出错（退出码 " + exitStatusText(*status) + "）。";
}

}  // namespace

void IpsecPolicy::setIpsecTool(const std::string& tool, const std::string& program) {
    ipsecTool_ = tool;
    program_ = program;
    watched_ = tool == kPolicyToolName;
}

bool IpsecPolicy::mayGoOn(unsigned call, bool applying) const {
    return call == latestCall_ && !(applyRefused_ && applying);
}

std::optional<std::string> IpsecPolicy::runLine(const std::string& line,
                                                std::vector<std::optional<std::uint32_t>>& statuses) {
    auto program = processes_.start(program_, line, Processes::Window::hidden);
    if (!watched_) {
        return std::nullopt;
    }
    if (!program) {
        statuses.push_back(std::nullopt);
        return whyRunFailed(program_, std::nullopt);
    }
    RunningProgram* const beneath = runUnderWay_;
    runUnderWay_ = program.get();
    const std::optional<std::uint32_t> status = loop_.waitFor(*program);
    runUnderWay_ = beneath;
    statuses.push_back(status);
    if (status && *status == 0) {
        return std::nullopt;
    }
    return whyRunFailed(program_, status);
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
    const PolicyLines lines = policyLines(values, ipsecTool_, strActive);
    const unsigned call = ++latestCall_;
    const bool nested = running_ > 0;
    const Running running(running_);
    Runs runs{strActive, {}, false, false};
    Runs* const beneath = runsUnderWay_;
    runsUnderWay_ = &runs;
    struct Restore {
        Runs*& underWay;
        Runs* beneath;
        ~Restore() { underWay = beneath; }
    } restore{runsUnderWay_, beneath};
    if (nested) {
        // The run beneath ends before this call's first line starts, and a second passes.
        if (runUnderWay_ != nullptr) {
            (void)loop_.waitFor(*runUnderWay_);
        }
        loop_.delay(1);
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
    for (const std::string* line : {&lines.outbound, &lines.inbound}) {
        if (line == &lines.inbound && !mayGoOn(call, applying)) {
            result = {PolicyResult::superseded, {}};
            break;
        }
        runs.ranLine = true;
        const std::optional<std::string> failure = runLine(*line, runs.statuses);
        if (failure && mayGoOn(call, applying)) {
            result = {PolicyResult::failed, *failure};
            break;
        }
        loop_.delay(1);
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
