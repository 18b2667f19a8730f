#include "core/connection/link_status.h"

namespace velmora {

void LinkStatus::changed() const {
    if (listener_) {
        listener_();
    }
}

void LinkStatus::linkSeen(bool up) {
    const bool endsFailures = up && autoDialFailures_ != 0;
    if (up == up_ && !endsFailures) {
        return;
    }
    up_ = up;
    if (endsFailures) {
        autoDialFailures_ = 0;
    }
    changed();
}

void LinkStatus::autoDialFailed() {
    ++autoDialFailures_;
    changed();
}

void LinkStatus::autoDialRunEnds() {
    if (autoDialFailures_ != 0) {
        autoDialFailures_ = 0;
        changed();
    }
}

void LinkStatus::setPolicy(Policy policy) {
    if (policy != policy_) {
        policy_ = policy;
        changed();
    }
}

void LinkStatus::workBegins(Work work) {
    works_.push_back(work);
    changed();
}

void LinkStatus::workEnds() {
    works_.pop_back();
    changed();
}

}  // namespace velmora
