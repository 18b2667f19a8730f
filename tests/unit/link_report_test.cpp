#include "ui/link_report.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(LinkReport, tellsTheLinkItsTrafficAndThePolicy) {
    LinkReport report;
    EXPECT_EQ(linkReportText(report), "VPN未连接。");
    report = {true, "vpn.example.com", "10.10.10.4", {2026, 12, 8, 12, 0, 10}, 3900, {true, 1234, 56789, 3900000},
              true, LinkStatus::Policy::nothingToSay, true};
    EXPECT_EQ(linkReportText(report),
              "VPN已连接\n服务器：vpn.example.com\n隧道地址：10.10.10.4\n连接开始：2026-12-08 12:00:10\n连接时长：1小时05分\n"
              "已发送（字节）：1234\n已接收（字节）：56789\nIPSec策略：已生效");

    const auto tail = [&](const std::string& text) { return text.substr(text.find("已发送")); };
    report.statistics = {};
    report.address.clear();
    EXPECT_NE(linkReportText(report).find("隧道地址：未知\n"), std::string::npos);
    const struct {
        bool ipsec;
        LinkStatus::Policy policy;
        bool applied;
        const char* says;
    } rows[] = {
        {false, LinkStatus::Policy::nothingToSay, false, "不使用"},
        {true, LinkStatus::Policy::nothingToSay, false, "未设置"},  // Stop withdrew it, the link stays
        {true, LinkStatus::Policy::notInForce, true, "未生效"},
        {true, LinkStatus::Policy::domainApplies, true, "域的IPSec策略生效，取代本程序的策略"},
        {true, LinkStatus::Policy::notWithdrawn, false, "撤销失败，可能仍被指派"},
    };
    for (const auto& row : rows) {
        report.ipsec = row.ipsec;
        report.policy = row.policy;
        report.policyApplied = row.applied;
        EXPECT_EQ(tail(linkReportText(report)), std::string("已发送（字节）：未知\n已接收（字节）：未知\nIPSec策略：") + row.says);
    }
}

}  // namespace
}  // namespace velmora
