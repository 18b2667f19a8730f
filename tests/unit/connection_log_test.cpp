#include "core/log/connection_log.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/ipsec/policy_commands.h"
#include "tests/fakes/fake_log.h"

namespace velmora {
namespace {

using testing::MemoryLog;

struct LineCase {
    std::function<void(MemoryLog&)> events;
    const char* line;  // the last line after the time
};

// A dial started at tick 0 by the user's window, whose end is told 3.1 seconds later.
std::function<void(MemoryLog&)> dialThen(std::function<void(ConnectionLog&)> end) {
    return [end](MemoryLog& m) {
        m.log.dialStarted("corvinaltexum", "C:\\ipsec.pbk", "203.0.113.10", "L2TP", Origin::window);
        m.clock.ticks = 3100;
        end(m.log);
    };
}

const LineCase kLineCases[] = {
    {[](MemoryLog& m) { m.log.programStarted("1.0.0", "5.1", 2600, "Service Pack 3", "ipseccmd"); },
     "程序启动：Velmora VPN 1.0.0，Windows 5.1.2600 Service Pack 3，IPSec策略工具 ipseccmd"},
    {[](MemoryLog& m) { m.log.programStarted("1.0.0", "10.0", 19045, "", "velmora-ipsec"); },
     "程序启动：Velmora VPN 1.0.0，Windows 10.0.19045，IPSec策略工具 velmora-ipsec"},
    {[](MemoryLog& m) { m.log.policyPair(kPolicyOff, "velmora-ipsec", {0u, 87u}); },
     "IPSec策略 -y（撤销）：velmora-ipsec，退出码 0、87"},
    {[](MemoryLog& m) { m.log.policyPair(kPolicyOn, "velmora-ipsec", {std::nullopt, 0xC0000135u}); },
     "IPSec策略 -x（应用）：velmora-ipsec，退出码 未能启动、0xC0000135"},
    {[](MemoryLog& m) {
         m.log.dialStarted("corvinaltexum", "defaultgate.pbk", "vpn.example.com", "PPTP", Origin::tray);
     },
     "开始拨号（托盘菜单）：服务器 vpn.example.com，PPTP，条目 corvinaltexum，电话簿 defaultgate.pbk"},
    {[](MemoryLog& m) {
         m.clock.ticks = 0xFFFFFF9Cu;  // 100 ms before the count wraps around
         m.log.dialStarted("corvinaltexum", "C:\\ipsec.pbk", "203.0.113.10", "L2TP", Origin::autoDial);
         m.clock.ticks = 3100;
         m.log.dialConnected("10.10.10.4", false);
     },
     "拨号结束：已连接，用时 3.2 秒，隧道地址 10.10.10.4"},
    {dialThen([](ConnectionLog& l) { l.dialConnected("", false); }), "拨号结束：已连接，用时 3.1 秒，没有找到新的隧道地址"},
    {dialThen([](ConnectionLog& l) { l.dialConnected("", true); }),
     "拨号结束：已连接，用时 3.1 秒，使用远程网络上的默认网关"},
    {dialThen([](ConnectionLog& l) { l.dialNotConnected(691u, "访问被拒绝。"); }),
     "拨号结束：未连接，用时 3.1 秒，错误 691：访问被拒绝。"},
    {dialThen([](ConnectionLog& l) { l.dialNotConnected(650u, ""); }),
     "拨号结束：未连接，用时 3.1 秒，错误 650：系统没有此错误的说明。"},
    {dialThen([](ConnectionLog& l) { l.dialNotConnected(0u, ""); }),
     "拨号结束：未连接，用时 3.1 秒，rasdial 退出码 0，但连接没有建立"},
    {dialThen([](ConnectionLog& l) { l.dialNotConnected(0xC000013Au, ""); }),
     "拨号结束：未连接，用时 3.1 秒，rasdial 退出码 0xC000013A"},
    {dialThen([](ConnectionLog& l) { l.dialNotConnected(std::nullopt, ""); }), "拨号结束：未连接，rasdial 未能启动"},
    {dialThen([](ConnectionLog& l) { l.dialCancelled(CancelledBy::stop); }), "拨号结束：已取消，用时 3.1 秒（请求停止）"},
    {dialThen([](ConnectionLog& l) { l.dialCancelled(CancelledBy::programEnd); }),
     "拨号结束：已取消，用时 3.1 秒（退出程序）"},
    {[](MemoryLog& m) { m.log.hungUp("corvinaltexum", 3); }, "挂断连接：条目 corvinaltexum，句柄 3"},
    {[](MemoryLog& m) { m.log.hangUpUnfinished(3, 3000); }, "连接（句柄 3）挂断后 3.0 秒仍未结束"},
};

TEST(ConnectionLog, composesEachLineAfterTheLocalTimeFromWhatItIsGiven) {
    for (const LineCase& c : kLineCases) {
        MemoryLog memory;
        c.events(memory);
        ASSERT_FALSE(memory.file.lines.empty()) << c.line;
        EXPECT_EQ(memory.file.lines.back(), testing::kLogTime + c.line);
    }
}

}  // namespace
}  // namespace velmora
