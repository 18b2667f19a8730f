#include "core/ipsec/ipsec_policy.h"

#include "core/profile/conn_profile.h"

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

}  // namespace

bool IpsecPolicy::mayGoOn(unsigned call, const std::string& strActive) const {
    return call == latestCall_ && !(applyRefused_ && strActive == kPolicyOn);
}

void IpsecPolicy::config_ipsec(const std::string& strActive) {
    if (applyRefused_ && strActive == kPolicyOn) {
        return;
    }
    const PolicyLines lines = policyLines(readProfile(window_), ipsecTool_, strActive);
    const unsigned call = ++latestCall_;
    const bool nested = running_ > 0;
    const Running running(running_);
    if (nested) {
        // The call beneath may have started a line a moment ago.
        loop_.delay(1);
        if (!mayGoOn(call, strActive)) {
            return;
        }
    }
    processes_.startHidden(lines.outbound);
    loop_.delay(1);
    if (mayGoOn(call, strActive)) {
        processes_.startHidden(lines.inbound);
        loop_.delay(1);
    }
}

}  // namespace velmora
