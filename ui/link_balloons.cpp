#include "ui/link_balloons.h"

namespace velmora {

Balloon LinkBalloons::next(const LinkStatus& status, bool asked) {
    Balloon balloon;
    if (!asked) {
        if (policy_ != LinkStatus::Policy::notInForce && status.policy() == LinkStatus::Policy::notInForce) {
            balloon = {"IPSec策略未生效，连接未受保护。", true};
        } else if (up_ && !status.up()) {
            balloon = {"VPN连接已断开。", true};
        } else if (!up_ && status.up() && lostUnasked_) {
            balloon = {"VPN连接已恢复。", false};
        } else if (failures_ == 0 && status.autoDialFailures() > 0) {
            balloon = {"自动拨号失败，VPN未连接。", true};
        }
    }
    if (status.up()) {
        lostUnasked_ = false;
    } else if (up_ && !asked) {
        lostUnasked_ = true;
    }
    up_ = status.up();
    failures_ = status.autoDialFailures();
    policy_ = status.policy();
    return balloon;
}

}  // namespace velmora
