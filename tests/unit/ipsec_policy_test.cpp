#include "core/ipsec/ipsec_policy.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_processes.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

// Records each start with the virtual second it happened at; can fail a start once.
class TimedProcesses : public testing::FakeProcesses {
public:
    explicit TimedProcesses(const testing::FakeEventLoop& loop) : loop_(loop) {}
    std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& commandLine,
                                          Window window) override {
        EXPECT_EQ(window, Window::hidden) << commandLine;
        if (!failOn.empty() && commandLine.find(failOn) != std::string::npos) {
            failOn.clear();
            throw std::runtime_error("cannot start");
        }
        timed.push_back(std::to_string(loop_.elapsedSeconds) + "s " + commandLine);
        return FakeProcesses::start(program, commandLine, window);
    }

    Lines timed;
    std::string failOn;

private:
    const testing::FakeEventLoop& loop_;
};

std::string outbound(const std::string& key, const std::string& active) {
    return "ipseccmd -w REG -p \"corvinaltexum\" -r \"windows to zerta\" "
           "-f 10.10.10.4/255.255.255.255=10.0.0.0/255.255.0.0 -n ESP[DES,MD5]3600s/100000k -a preshare:" +
           key + " -t 10.0.0.0" + active;
}

std::string inbound(const std::string& key, const std::string& active) {
    return "ipseccmd -w REG -p \"corvinaltexum\" -r \"zerta to windows\" "
           "-f 10.0.0.0/255.255.0.0=10.10.10.4/255.255.255.255 -n ESP[DES,MD5]3600s/100000k -a preshare:" +
           key + " -t 10.10.10.4" + active;
}

class IpsecPolicyTest : public ::testing::Test {
protected:
    IpsecPolicyTest() {
        window.setText(Control::comalg, "ESP-DES-MD5");
        window.setText(Control::txtpreshare, "first");
        policy.setIpsecTool("ipseccmd");
    }
    // Vista and later: velmora-ipsec, whose runs are watched.
    void useVelmoraIpsec() {
        machine.version.record = {10, 0, "", 19045};
        policy.setIpsecTool("velmora-ipsec");
    }

    testing::FakeControlSurface window;
    testing::FakeEventLoop loop;
    TimedProcesses processes{loop};
    testing::MemoryLog log;
    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    LocalOperations operations{processes,     registry,        machine.files, machine.folder,
                               machine.shell, machine.version, machine.tasks};
    IpsecPolicy policy{window, operations, loop, log.log};
};

TEST_F(IpsecPolicyTest, startsOutboundThenInboundOneSecondApart) {
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.timed, (Lines{"0s " + outbound("first", " -x"), "1s " + inbound("first", " -x")}));
    EXPECT_EQ(loop.elapsedSeconds, 2);
    EXPECT_FALSE(policy.ipsecBusy());
}

TEST_F(IpsecPolicyTest, theProfileIsFixedWhenTheCallStarts) {
    loop.duringNextDelay([&] { window.setText(Control::txtpreshare, "changed"); });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.timed, (Lines{"0s " + outbound("first", " -x"), "1s " + inbound("first", " -x")}));
}

TEST_F(IpsecPolicyTest, aWithdrawalDuringTheFirstPauseTakesOverASecondLaterWithTheAppliedValues) {
    loop.duringNextDelay([&] {
        EXPECT_TRUE(policy.ipsecBusy());
        window.setText(Control::txtpreshare, "second");
        policy.config_ipsec(kPolicyOff);  // a Stop, or the program's end, arriving mid-pair
    });
    policy.config_ipsec(kPolicyOn);
    // The pair beneath never starts its inbound line: the policy ends as asked last, withdrawn
    // with the values that reached the store, whatever the key reads now.
    EXPECT_EQ(processes.timed, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + outbound("first", " -y"),
                                     "2s " + inbound("first", " -y"),
                                 }));
    EXPECT_FALSE(policy.ipsecBusy());
}

TEST_F(IpsecPolicyTest, aCallDuringTheSecondPauseStillKeepsASecondFromTheLastLine) {
    loop.duringNextDelay([&] {
        loop.duringNextDelay([&] { policy.config_ipsec(kPolicyOff); });
    });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.timed, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + inbound("first", " -x"),
                                     "2s " + outbound("first", " -y"),
                                     "3s " + inbound("first", " -y"),
                                 }));
}

TEST_F(IpsecPolicyTest, theDeepestOfSeveralNestedCallsWins) {
    loop.duringNextDelay([&] {  // the first pause of a
        window.setText(Control::txtpreshare, "b");
        loop.duringNextDelay([&] {  // the second above: b's wait before its first line
            window.setText(Control::txtpreshare, "c");
            policy.config_ipsec(kPolicyOn);
        });
        policy.config_ipsec(kPolicyOff);
    });
    window.setText(Control::txtpreshare, "a");
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.timed, (Lines{
                                     "0s " + outbound("a", " -x"),
                                     "1s " + outbound("c", " -x"),
                                     "2s " + inbound("c", " -x"),
                                 }));
}

TEST_F(IpsecPolicyTest, onceApplyingIsRefusedOnlyWithdrawalRuns) {
    loop.duringNextDelay([&] { policy.refuseApplying(); });  // the program's end, mid-pair
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.timed, (Lines{"0s " + outbound("first", " -x")}));
    policy.config_ipsec(kPolicyOn);
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.timed, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + outbound("first", " -y"),
                                     "2s " + inbound("first", " -y"),
                                 }));
}

TEST_F(IpsecPolicyTest, aCallAfterTheRunIsOverStartsAtOnce) {
    policy.config_ipsec(kPolicyOn);
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.timed, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + inbound("first", " -x"),
                                     "2s " + outbound("first", " -y"),
                                     "3s " + inbound("first", " -y"),
                                 }));
}

TEST_F(IpsecPolicyTest, aRunCutShortLeavesThePolicyCommandsUsable) {
    processes.failOn = "zerta to windows";
    EXPECT_THROW(policy.config_ipsec(kPolicyOn), std::runtime_error);
    EXPECT_FALSE(policy.ipsecBusy());

    // The next call is not taken for one made inside a pause: it starts at once.
    processes.timed.clear();
    loop.elapsedSeconds = 0;
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.timed, (Lines{"0s " + outbound("first", " -y"), "1s " + inbound("first", " -y")}));
}

// A watched run that hangs is ended at its limit and fails the call; an apply runs nothing more,
// a withdrawal still runs its other line; the log has the ended run's status.
TEST_F(IpsecPolicyTest, aRunPastItsLimitIsEndedAndCountsAsFailed) {
    useVelmoraIpsec();
    processes.hangs = [](const std::string& line) { return line.find("windows to zerta") != std::string::npos; };
    for (const std::string active : {kPolicyOn, kPolicyOff}) {
        processes.timed.clear();
        processes.terminations = 0;
        loop.elapsedMilliseconds = 0;
        const PolicyResult result = policy.config_ipsec(active);
        EXPECT_EQ(result.outcome, PolicyResult::failed) << active;
        EXPECT_NE(result.failure.find("超过 60 秒没有结束，已被结束"), std::string::npos) << result.failure;
        EXPECT_EQ(processes.terminations, 1) << active;
        EXPECT_GE(loop.elapsedMilliseconds, kPolicyRunLimitSeconds * 1000) << active;
        EXPECT_EQ(processes.timed.size(), active == kPolicyOn ? 1u : 2u) << active;
        EXPECT_NE(log.file.lines.back().find("退出码 1223"), std::string::npos) << log.file.lines.back();
    }
}

}  // namespace
}  // namespace velmora
