#include "ui/tray_state.h"

namespace velmora {

namespace {

constexpr const char* kFirstLine = "IPSec Over L2tp\n";

std::string policyNote(LinkStatus::Policy policy) {
    switch (policy) {
    case LinkStatus::Policy::notInForce: return "，IPSec策略未生效";
    case LinkStatus::Policy::domainApplies: return "，域的IPSec策略生效";
    case LinkStatus::Policy::notWithdrawn: return "，IPSec策略未撤销";
    case LinkStatus::Policy::nothingToSay: break;
    }
    return {};
}

}  // namespace

TrayState trayState(const LinkStatus& status, const std::string& address) {
    if (const auto work = status.work()) {
        return {TrayImage::working,
                kFirstLine + std::string(*work == LinkStatus::Work::dialling ? "正在拨号…" : "正在设置IPSec策略…")};
    }
    if (status.up()) {
        return {TrayImage::connected, kFirstLine + std::string("已连接") + (address.empty() ? "" : " " + address) +
                                          policyNote(status.policy())};
    }
    if (status.autoDialFailures() > 0) {
        return {TrayImage::notConnected,
                kFirstLine + std::string("自动拨号：") + std::to_string(status.autoDialFailures()) + " 次失败"};
    }
    // A withdrawal that failed is worth saying with the link down too.
    return {TrayImage::notConnected,
            kFirstLine + std::string("未连接") +
                (status.policy() == LinkStatus::Policy::notWithdrawn ? policyNote(status.policy()) : "")};
}

}  // namespace velmora
