#include "ui/tray_state.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Bytes in the ANSI code page of Simplified Chinese Windows: one for ASCII, two for the rest.
std::size_t ansiBytes(const std::string& utf8) {
    std::size_t bytes = 0;
    for (unsigned char c : utf8) {
        if (c < 0x80) {
            ++bytes;
        } else if ((c & 0xC0) == 0xC0) {
            bytes += 2;
        }
    }
    return bytes;
}

TEST(TrayTip, saysHowLongTheLinkHasBeenUp) {
    const struct {
        std::uint32_t seconds;
        const char* text;
    } rows[] = {{0, "0分"}, {59, "0分"}, {3599, "59分"}, {3600, "1小时00分"}, {3900, "1小时05分"},
                {4294967, "1193小时02分"}};
    for (const auto& row : rows) {
        EXPECT_EQ(upTimeText(row.seconds), row.text) << row.seconds;
    }
}

// A note on the policy is a warning: it stays, and the time is left out where both do not fit. A
// line that names IPSec as the protocol leaves it out of the note.
TEST(TrayTip, showsTheTimeUpWhereItFitsAfterThePolicysNote) {
    LinkStatus status;
    status.linkSeen(true);
    EXPECT_EQ(trayState(status, "10.10.10.4", "L2TP/IPSec", 3900).tip, "Velmora VPN\nL2TP/IPSec 已连接 10.10.10.4，1小时05分");
    status.setPolicy(LinkStatus::Policy::notInForce);
    EXPECT_EQ(trayState(status, "10.0.0.4", "L2TP", 300).tip, "Velmora VPN\nL2TP 已连接 10.0.0.4，5分，IPSec策略未生效");
    EXPECT_EQ(trayState(status, "10.10.10.4", "L2TP/IPSec", 3900).tip,
              "Velmora VPN\nL2TP/IPSec 已连接 10.10.10.4，1小时05分，策略未生效");
    EXPECT_EQ(trayState(status, "172.100.100.100", "L2TP/IPSec", 3900).tip,
              "Velmora VPN\nL2TP/IPSec 已连接 172.100.100.100，策略未生效");
    EXPECT_EQ(trayState(status, "10.10.10.4", "PPTP").tip, "Velmora VPN\nPPTP 已连接 10.10.10.4，IPSec策略未生效");
}

// The oldest shell keeps 63 bytes of a tip: every state, with the longest address, fits them.
TEST(TrayTip, everyStateFitsTheOldestShell) {
    const LinkStatus::Policy policies[] = {LinkStatus::Policy::nothingToSay, LinkStatus::Policy::notInForce,
                                           LinkStatus::Policy::domainApplies, LinkStatus::Policy::notWithdrawn};
    for (const char* protocol : {"L2TP/IPSec", "L2TP", "PPTP"}) {
        for (LinkStatus::Policy policy : policies) {
            for (int state = 0; state < 5; ++state) {
                LinkStatus status;
                status.setPolicy(policy);
                status.linkSeen(state == 1);
                for (int failures = 0; state == 2 && failures < 99; ++failures) {
                    status.autoDialFailed();
                }
                std::optional<LinkStatus::Working> working;
                if (state >= 3) {
                    working.emplace(status, state == 3 ? LinkStatus::Work::dialling : LinkStatus::Work::applyingPolicy);
                }
                for (const std::optional<std::uint32_t> up : {std::optional<std::uint32_t>(), {59}, {4294967}}) {
                    const std::string tip = trayState(status, "255.255.255.255", protocol, up).tip;
                    EXPECT_LE(ansiBytes(tip), 63u) << tip;
                    EXPECT_EQ(tip.rfind(std::string("Velmora VPN\n") + protocol + " ", 0), 0u) << tip;
                }
            }
        }
    }
}

}  // namespace
}  // namespace velmora
