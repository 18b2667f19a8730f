#include "ui/link_balloons.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora {
namespace {

// Each change nobody asked for is told once; the user's own commands are told nothing, and only a
// link lost unasked is told when it comes back.
TEST(LinkBalloons, tellEachUnaskedChangeOnce) {
    using P = LinkStatus::Policy;
    const auto up = [](LinkStatus& s) { s.linkSeen(true); };
    const auto down = [](LinkStatus& s) { s.linkSeen(false); };
    const auto fails = [](LinkStatus& s) { s.autoDialFailed(); };
    const auto policy = [](P p) { return [p](LinkStatus& s) { s.setPolicy(p); }; };
    const struct {
        std::function<void(LinkStatus&)> change;
        bool asked;
        const char* balloon;
    } steps[] = {
        {up, false, ""},  // up at the start: nothing came back
        {policy(P::notInForce), true, ""},
        {down, true, ""},
        {up, false, ""},
        {down, false, "VPN连接已断开。"},
        {down, false, ""},
        {fails, false, "自动拨号失败，VPN未连接。"},
        {fails, false, ""},
        {up, false, "VPN连接已恢复。"},
        {policy(P::nothingToSay), false, ""},
        {policy(P::notInForce), false, "IPSec策略未生效，连接未受保护。"},
        {down, false, "VPN连接已断开。"},
        {up, true, ""},
        {down, false, "VPN连接已断开。"},
        {fails, false, "自动拨号失败，VPN未连接。"},  // a new run
    };
    LinkStatus status;
    LinkBalloons balloons;
    for (const auto& step : steps) {
        step.change(status);
        const char* const text = balloons.next(status, step.asked).text;
        EXPECT_EQ(std::string(text != nullptr ? text : ""), step.balloon) << &step - steps;
    }
}

}  // namespace
}  // namespace velmora
