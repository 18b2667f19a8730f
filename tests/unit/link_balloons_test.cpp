#include "ui/link_balloons.h"

#include <gtest/gtest.h>

#include <functional>

namespace velmora {
namespace {

struct Step {
    std::function<void(LinkStatus&)> change;
    bool asked;
    const char* balloon;  // "" for none
};

void expectBalloons(const std::vector<Step>& steps) {
    LinkStatus status;
    LinkBalloons balloons;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        steps[i].change(status);
        const char* const text = balloons.next(status, steps[i].asked).text;
        EXPECT_EQ(std::string(text != nullptr ? text : ""), steps[i].balloon) << "step " << i;
    }
}

const auto up = [](LinkStatus& s) { s.linkSeen(true); };
const auto down = [](LinkStatus& s) { s.linkSeen(false); };
const auto redialFails = [](LinkStatus& s) { s.autoDialFailed(); };
const auto nothing = [](LinkStatus&) {};
const auto policy = [](LinkStatus::Policy p) { return [p](LinkStatus& s) { s.setPolicy(p); }; };

constexpr const char* kDropped = "VPN连接已断开。";
constexpr const char* kBack = "VPN连接已恢复。";
constexpr const char* kRedialFailed = "自动拨号失败，VPN未连接。";
constexpr const char* kNoPolicy = "IPSec策略未生效，连接未受保护。";

TEST(LinkBalloons, tellEachUnaskedChangeOnce) {
    expectBalloons({{up, true, ""},  // the user's own Connect
                    {nothing, false, ""},
                    {down, false, kDropped},
                    {nothing, false, ""},
                    {redialFails, false, kRedialFailed},
                    {redialFails, false, ""},  // the same run
                    {up, false, kBack},
                    {policy(LinkStatus::Policy::notInForce), false, kNoPolicy},
                    {nothing, false, ""},
                    {policy(LinkStatus::Policy::nothingToSay), false, ""},
                    {down, false, kDropped},
                    {redialFails, false, kRedialFailed}});  // a new run
}

TEST(LinkBalloons, tellNothingTheUserAskedFor) {
    expectBalloons({{up, false, ""},  // up at the start: nothing came back
                    {policy(LinkStatus::Policy::notInForce), true, ""},
                    {down, true, ""},  // Stop
                    {up, false, ""},   // nothing was lost unasked
                    {down, false, kDropped},
                    {up, true, ""}});  // the user's own dial
}

}  // namespace
}  // namespace velmora
