#include "ui/link_report.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// What the service does not say is unknown; the policy's line follows the session. (A report with
// every fact known is in the window's test.)
TEST(LinkReport, saysWhatIsUnknownAndWhetherThePolicyIsInForce) {
    using P = LinkStatus::Policy;
    LinkReport report;
    EXPECT_EQ(linkReportText(report), "VPN未连接。");
    report.up = true;
    report.since = {2026, 12, 8, 12, 0, 10};
    report.upSeconds = 59;
    const struct {
        bool ipsec;
        P policy;
        bool applied;
        const char* says;
    } rows[] = {
        {false, P::nothingToSay, false, "不使用"},
        {true, P::nothingToSay, true, "已生效"},
        {true, P::nothingToSay, false, "未设置"},  // Stop withdrew it, the link stays
        {true, P::notInForce, true, "未生效"},
        {true, P::domainApplies, true, "域的IPSec策略生效，取代本程序的策略"},
        {true, P::notWithdrawn, false, "撤销失败，可能仍被指派"},
    };
    for (const auto& row : rows) {
        report.ipsec = row.ipsec;
        report.policy = row.policy;
        report.policyApplied = row.applied;
        const std::string text = linkReportText(report);
        EXPECT_EQ(text.substr(text.find("隧道地址")),
                  std::string("隧道地址：未知\n连接开始：2026-12-08 12:00:10\n连接时长：0分\n") +
                      "已发送：未知\n已接收：未知\nIPSec策略：" + row.says);
    }
}

// With the link down, an IPsec session's policy still in force is told, with the way back.
TEST(LinkReport, aLinkDownSaysWhatIsStillInForce) {
    LinkReport report;
    report.ipsec = true;
    EXPECT_EQ(linkReportText(report), "VPN未连接。") << "Stop withdrew it";
    report.policyApplied = true;
    EXPECT_EQ(linkReportText(report),
              "VPN未连接。\nIPSec策略：仍然生效。点击“重新连接”重新拨号，或点击“停止”撤销策略。");
    report.policyApplied = false;
    report.policy = LinkStatus::Policy::notWithdrawn;
    EXPECT_EQ(linkReportText(report), "VPN未连接。\nIPSec策略：撤销失败，可能仍被指派");
    report.ipsec = false;
    EXPECT_EQ(linkReportText(report), "VPN未连接。");
}

TEST(LinkReport, givesBytesAsPeopleReadThem) {
    const std::pair<std::uint64_t, const char*> rows[] = {
        {0, "0 字节"},          {1023, "1023 字节"},          {1024, "1.0 KB"},
        {1587, "1.5 KB"},       {1048575, "1023.9 KB"},       {1048576, "1.0 MB"},
        {20971520, "20.0 MB"},  {3435973837ULL, "3.2 GB"},    {4294967295ULL, "3.9 GB"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(sizeText(bytes), text) << bytes;
    }
}

}  // namespace
}  // namespace velmora
