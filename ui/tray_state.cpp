#include "ui/tray_state.h"

namespace velmora {

namespace {

// The program, whatever the protocol: the second line names the protocol in use.
constexpr const char* kFirstLine = "Velmora VPN\n";
constexpr const char* kL2tpIpsec = "L2TP/IPSec";
constexpr std::size_t kTipBytes = 63;

// Bytes in the ANSI code page of Simplified Chinese Windows: one for ASCII, two for each of the
// tip's other characters.
std::size_t ansiBytes(const std::string& utf8) {
    std::size_t bytes = 0;
    for (const unsigned char c : utf8) {
        bytes += c < 0x80 ? 1 : (c & 0xC0) == 0xC0 ? 2 : 0;
    }
    return bytes;
}

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

std::string upTimeText(std::uint32_t seconds) {
    const std::uint32_t minutes = seconds / 60;
    std::string text = minutes < 60 ? "" : std::to_string(minutes / 60) + (minutes % 60 < 10 ? "小时0" : "小时");
    return text + std::to_string(minutes % 60) + "分";
}

std::string protocolInUse(bool ipsec, bool l2tp) {
    if (!l2tp) {
        return "PPTP";
    }
    return ipsec ? kL2tpIpsec : "L2TP";
}

TrayState trayState(const LinkStatus& status, const std::string& address, const std::string& protocol,
                    std::optional<std::uint32_t> upSeconds) {
    const std::string lines = kFirstLine + (protocol.empty() ? std::string() : protocol + " ");
    if (const auto work = status.work()) {
        return {TrayImage::working,
                lines + (*work == LinkStatus::Work::dialling ? "正在拨号…" : "正在设置IPSec策略…")};
    }
    if (status.up()) {
        std::string tip = lines + "已连接";
        if (!address.empty()) {
            tip += ' ';
            tip += address;
        }
        const std::string note = policyNote(status.policy(), protocol);
        if (upSeconds) {
            const std::size_t untimed = tip.size();
            tip += "，" + upTimeText(*upSeconds) + note;
            if (ansiBytes(tip) <= kTipBytes) {
                return {TrayImage::connected, tip};
            }
            tip.resize(untimed);
        }
        return {TrayImage::connected, tip + note};
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
