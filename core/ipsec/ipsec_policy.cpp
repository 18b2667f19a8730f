#include "core/ipsec/ipsec_policy.h"

#include "core/profile/conn_profile.h"

namespace velmora {

namespace {

// Ends a run of pairs however it ends: a run cut short by an exception drops the pairs it had
// not started, so that the next call starts afresh instead of queuing behind nobody.
class BusyRun {
public:
    BusyRun(bool& busy, std::deque<PolicyLines>& waiting) : busy_(busy), waiting_(waiting) { busy_ = true; }
    ~BusyRun() {
        busy_ = false;
        waiting_.clear();
    }
    BusyRun(const BusyRun&) = delete;
    BusyRun& operator=(const BusyRun&) = delete;

private:
    bool& busy_;
    std::deque<PolicyLines>& waiting_;
};

}  // namespace

void IpsecPolicy::config_ipsec(const std::string& strActive) {
    waiting_.push_back(policyLines(readProfile(window_), ipsecTool_, strActive));
    if (ipsecBusy_) {
        return;
    }
    const BusyRun run(ipsecBusy_, waiting_);
    while (!waiting_.empty()) {
        const PolicyLines lines = waiting_.front();
        waiting_.pop_front();
        processes_.startHidden(lines.outbound);
        loop_.delay(1);
        processes_.startHidden(lines.inbound);
        loop_.delay(1);
    }
}

}  // namespace velmora
