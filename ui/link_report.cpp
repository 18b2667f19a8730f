#include "ui/link_report.h"

#include <iterator>

#include "core/log/connection_log.h"
#include "ui/tray_state.h"

namespace velmora {

namespace {

// One line of the report: its label, then its value.
void addLine(std::string& text, const char* label, const std::string& value) {
    text += '\n';
    text += label;
    text += value;
}

const char* policyText(const LinkReport& report) {
    if (!report.ipsec) {
        return "不使用";
    }
    switch (report.policy) {
    case LinkStatus::Policy::notInForce: return "未生效";
    case LinkStatus::Policy::domainApplies: return "域的IPSec策略生效，取代本程序的策略";
    case LinkStatus::Policy::notWithdrawn: return "撤销失败，可能仍被指派";
    case LinkStatus::Policy::nothingToSay: break;
    }
    return report.policyApplied ? "已生效" : "未设置";
}

}  // namespace

// In units of 1024, with one decimal cut, not rounded.
std::string sizeText(std::uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " 字节";
    }
    const char* units[] = {"KB", "MB", "GB"};
    std::uint64_t tenths = bytes * 10 / 1024;
    std::size_t unit = 0;
    while (unit + 1 < std::size(units) && tenths >= 1024 * 10) {
        tenths /= 1024;
        ++unit;
    }
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + units[unit];
}

std::string linkReportText(const LinkReport& report) {
    if (!report.up) {
        // What is still in force without the link, and the way back.
        std::string text = "VPN未连接。";
        if (report.ipsec && report.policyApplied) {
            addLine(text, "IPSec策略：", "仍然生效。点击“重新连接”重新拨号，或点击“停止”撤销策略。");
        } else if (report.ipsec && report.policy == LinkStatus::Policy::notWithdrawn) {
            addLine(text, "IPSec策略：", policyText(report));
        }
        return text;
    }
    std::string text = "VPN已连接";
    addLine(text, "服务器：", report.server);
    addLine(text, "隧道地址：", report.address.empty() ? "未知" : report.address);
    addLine(text, "连接开始：", timestamp(report.since));
    addLine(text, "连接时长：", upTimeText(report.upSeconds));
    const ConnectionStatistics& counted = report.statistics;
    addLine(text, "已发送：", counted.known ? sizeText(counted.bytesSent) : "未知");
    addLine(text, "已接收：", counted.known ? sizeText(counted.bytesReceived) : "未知");
    addLine(text, "IPSec策略：", policyText(report));
    return text;
}

}  // namespace velmora
