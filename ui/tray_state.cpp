#include "ui/tray_state.h"

namespace velmora {

namespace {

constexpr const char* kFirstLine = "IPSec Over L2tp\n";
constexpr const char* kL2tpIpsec = "L2TP/IPSec";

// Where the line has named IPSec already, the note leaves it out, so that the longest address
// with the longest note still fits.
std::string policyNote(LinkStatus::Policy policy, const std::string& protocol) {
    const std::string ipsec = protocol == kL2tpIpsec ? "" : "IPSec";
    switch (policy) {
    case LinkStatus::Policy::notInForce: return "，" + ipsec + "策略未生效";
    case LinkStatus::Policy::domainApplies: return "，域的" + ipsec + "策略生效";
    case LinkStatus::Policy::notWithdrawn: return "，" + ipsec + "策略未撤销";
    case LinkStatus::Policy::nothingToSay: break;
    }
    return {};
}

}  // namespace

std::string protocolInUse(bool ipsec, bool l2tp) {
    if (!l2tp) {
        return "PPTP";
    }
    return ipsec ? kL2tpIpsec : "L2TP";
}

TrayState trayState(const LinkStatus& status, const std::string& address, const std::string& protocol) {
    const std::string lines = kFirstLine + protocol + " ";
    if (const auto work = status.work()) {
        return {TrayImage::working,
                lines + (*work == LinkStatus::Work::dialling ? "正在拨号…" : "正在设置IPSec策略…")};
    }
    if (status.up()) {
        return {TrayImage::connected, lines + "已连接" + (address.empty() ? "" : " " + address) +
                                          policyNote(status.policy(), protocol)};
    }
    if (status.autoDialFailures() > 0) {
        return {TrayImage::notConnected,
                lines + "自动拨号：" + std::to_string(status.autoDialFailures()) + " 次失败"};
    }
    // A withdrawal that failed is worth saying with the link down too.
    return {TrayImage::notConnected,
            lines + "未连接" +
                (status.policy() == LinkStatus::Policy::notWithdrawn ? policyNote(status.policy(), protocol) : "")};
}

}  // namespace velmora
