#include "core/log/connection_log.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/ipsec/policy_commands.h"
#include "tests/fakes/fake_log.h"

namespace velmora {
namespace {

using testing::MemoryLog;

TEST(ConnectionLog, eachEventIsOneLineAfterTheLocalDateAndTimeToTheSecond) {
    MemoryLog memory;
    memory.clock.now = {2026, 1, 2, 3, 4, 5};
    memory.log.connectAsked(Origin::tray);
    memory.clock.now = {2026, 11, 30, 23, 59, 58};
    memory.log.stopAsked(Origin::window);
    EXPECT_EQ(memory.file.lines, (std::vector<std::string>{"2026-01-02 03:04:05 请求连接（托盘菜单）",
                                                           "2026-11-30 23:59:58 请求停止（窗口按钮）"}));
}

struct LineCase {
    const char* what;
    std::function<void(MemoryLog&)> events;
    const char* line;  // the last line, without its date and time
};

const std::vector<std::optional<std::uint32_t>> kPairRuns = {0u, 87u};

const LineCase kLineCases[] = {
    {"the start with the service pack",
     [](MemoryLog& m) { m.log.programStarted("1.0.0", "5.1", "Service Pack 3", "ipseccmd"); },
     "程序启动：Velmora VPN 1.0.0，Windows 5.1 Service Pack 3，IPsec策略工具 ipseccmd"},
    {"the start without one", [](MemoryLog& m) { m.log.programStarted("1.0.0", "6.1", "", "velmora-ipsec"); },
     "程序启动：Velmora VPN 1.0.0，Windows 6.1，IPsec策略工具 velmora-ipsec"},
    {"a pair not waited for", [](MemoryLog& m) { m.log.policyPair(kPolicyOn, "ipseccmd"); },
     "IPsec策略 -x（应用）：ipseccmd"},
    {"a pair with each run's status", [](MemoryLog& m) { m.log.policyPair(kPolicyOff, "velmora-ipsec", kPairRuns); },
     "IPsec策略 -y（撤销）：velmora-ipsec，退出状态 0、87"},
    {"a run that never started and a crashed one",
     [](MemoryLog& m) { m.log.policyPair(kPolicyOn, "velmora-ipsec", {std::nullopt, 0xC0000135u}); },
     "IPsec策略 -x（应用）：velmora-ipsec，退出状态 未能启动、0xC0000135"},
    {"a dial across the tick count's wrap-around",
     [](MemoryLog& m) {
         m.clock.ticks = 0xFFFFFF9Cu;  // 100 ms before the wrap
         m.log.dialStarted("corvinaltexum", "C:\\ipsec.pbk", Origin::autoDial);
         m.clock.ticks = 3100;
         m.log.dialEnded(0u, "10.10.10.4");
     },
     "拨号结束：rasdial 退出状态 0，用时 3.2 秒，隧道地址 10.10.10.4"},
    {"a failed dial under a twentieth of a second",
     [](MemoryLog& m) {
         m.log.dialStarted("corvinaltexum", "C:\\pptp.pbk", Origin::window);
         m.clock.ticks = 49;
         m.log.dialEnded(691u, "");
     },
     "拨号结束：rasdial 退出状态 691，用时 0.0 秒，没有获得隧道地址"},
    {"a dial that could not start",
     [](MemoryLog& m) {
         m.log.dialStarted("corvinaltexum", "C:\\pptp.pbk", Origin::window);
         m.clock.ticks = 150;
         m.log.dialEnded(std::nullopt, "");
     },
     "拨号结束：rasdial 未能启动，用时 0.2 秒，没有获得隧道地址"},
    {"the dial's start names who asked",
     [](MemoryLog& m) { m.log.dialStarted("公司VPN", "D:\\ipsec.pbk", Origin::autoDial); },
     "开始拨号（自动拨号）：条目 公司VPN，电话簿 D:\\ipsec.pbk"},
    {"both networks' routes",
     [](MemoryLog& m) {
         m.log.routesStarted({"route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1",
                              "route add 200.200.0.0 mask 255.255.0.0 10.10.10.4 metric 1"});
     },
     "添加路由：route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1；"
     "route add 200.200.0.0 mask 255.255.0.0 10.10.10.4 metric 1"},
    {"a refusal names the check by its message",
     [](MemoryLog& m) { m.log.connectRefused("预先共享的密钥不能小于6个字节"); },
     "连接未进行，参数检查未通过：预先共享的密钥不能小于6个字节"},
};

TEST(ConnectionLog, composesEachLineFromWhatItIsGiven) {
    for (const LineCase& c : kLineCases) {
        MemoryLog memory;
        c.events(memory);
        ASSERT_FALSE(memory.events().empty()) << c.what;
        EXPECT_EQ(memory.events().back(), c.line) << c.what;
    }
}

}  // namespace
}  // namespace velmora
