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

const LineCase kLineCases[] = {
    {[](MemoryLog& m) { m.log.programStarted("1.0.0", "5.1", "Service Pack 3", "ipseccmd"); },
     "程序启动：Velmora VPN 1.0.0，Windows 5.1 Service Pack 3，IPsec策略工具 ipseccmd"},
    {[](MemoryLog& m) { m.log.policyPair(kPolicyOff, "velmora-ipsec", {0u, 87u}); },
     "IPsec策略 -y（撤销）：velmora-ipsec，退出状态 0、87"},
    {[](MemoryLog& m) { m.log.policyPair(kPolicyOn, "velmora-ipsec", {std::nullopt, 0xC0000135u}); },
     "IPsec策略 -x（应用）：velmora-ipsec，退出状态 未能启动、0xC0000135"},
    {[](MemoryLog& m) {
         m.clock.ticks = 0xFFFFFF9Cu;  // 100 ms before the count wraps around
         m.log.dialStarted("corvinaltexum", "C:\\ipsec.pbk", Origin::autoDial);
         m.clock.ticks = 3100;
         m.log.dialEnded(0u, "10.10.10.4");
     },
     "拨号结束：rasdial 退出状态 0，用时 3.2 秒，隧道地址 10.10.10.4"},
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
