#include "core/ipsec/ipsec_policy.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

// Records each start with the virtual second it happened at; can fail a start once.
class TimedProcesses : public Processes {
public:
    explicit TimedProcesses(const testing::FakeEventLoop& loop) : loop_(loop) {}
    void runAndWait(const std::string& commandLine) override { ADD_FAILURE() << "waited for " << commandLine; }
    void startHidden(const std::string& commandLine) override {
        if (!failOn.empty() && commandLine.find(failOn) != std::string::npos) {
            failOn.clear();
            throw std::runtime_error("cannot start");
        }
        started.push_back(std::to_string(loop_.elapsedSeconds) + "s " + commandLine);
    }

    Lines started;
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

    testing::FakeControlSurface window;
    testing::FakeEventLoop loop;
    TimedProcesses processes{loop};
    IpsecPolicy policy{window, processes, loop};
};

TEST_F(IpsecPolicyTest, startsOutboundThenInboundOneSecondApart) {
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{"0s " + outbound("first", " -x"), "1s " + inbound("first", " -x")}));
    EXPECT_EQ(loop.elapsedSeconds, 2);
    EXPECT_FALSE(policy.ipsecBusy());
}

TEST_F(IpsecPolicyTest, theProfileIsFixedWhenTheCallStarts) {
    loop.duringNextDelay([&] { window.setText(Control::txtpreshare, "changed"); });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{"0s " + outbound("first", " -x"), "1s " + inbound("first", " -x")}));
}

TEST_F(IpsecPolicyTest, aCallDuringThePauseRunsAfterTheRunningPairWithItsOwnProfile) {
    loop.duringNextDelay([&] {
        EXPECT_TRUE(policy.ipsecBusy());
        window.setText(Control::txtpreshare, "second");
        policy.config_ipsec(kPolicyOff);  // a tick's withdrawal, arriving mid-pair
        EXPECT_EQ(processes.started.size(), 1u) << "the nested call must not start anything itself";
    });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + inbound("first", " -x"),
                                     "2s " + outbound("second", " -y"),
                                     "3s " + inbound("second", " -y"),
                                 }));
    EXPECT_FALSE(policy.ipsecBusy());
}

TEST_F(IpsecPolicyTest, severalWaitingCallsRunInArrivalOrder) {
    loop.duringNextDelay([&] {
        window.setText(Control::txtpreshare, "second");
        policy.config_ipsec(kPolicyOff);
        window.setText(Control::txtpreshare, "third");
        policy.config_ipsec(kPolicyOn);
        // And one more from the next pause, the running pair's second.
        loop.duringNextDelay([&] {
            window.setText(Control::txtpreshare, "fourth");
            policy.config_ipsec(kPolicyOff);
        });
    });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + inbound("first", " -x"),
                                     "2s " + outbound("second", " -y"),
                                     "3s " + inbound("second", " -y"),
                                     "4s " + outbound("third", " -x"),
                                     "5s " + inbound("third", " -x"),
                                     "6s " + outbound("fourth", " -y"),
                                     "7s " + inbound("fourth", " -y"),
                                 }));
}

TEST_F(IpsecPolicyTest, aCallDuringAQueuedPairsPauseWaitsItsTurnToo) {
    loop.duringNextDelay([&] {  // the first pause of pair a
        window.setText(Control::txtpreshare, "b");
        policy.config_ipsec(kPolicyOff);
        loop.duringNextDelay([&] {  // the second pause of pair a
            loop.duringNextDelay([&] {  // the first pause of pair b
                window.setText(Control::txtpreshare, "c");
                policy.config_ipsec(kPolicyOn);
            });
        });
    });
    window.setText(Control::txtpreshare, "a");
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{
                                     "0s " + outbound("a", " -x"),
                                     "1s " + inbound("a", " -x"),
                                     "2s " + outbound("b", " -y"),
                                     "3s " + inbound("b", " -y"),
                                     "4s " + outbound("c", " -x"),
                                     "5s " + inbound("c", " -x"),
                                 }));
}

TEST_F(IpsecPolicyTest, aCallAfterTheRunIsOverStartsAtOnce) {
    policy.config_ipsec(kPolicyOn);
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.started, (Lines{
                                     "0s " + outbound("first", " -x"),
                                     "1s " + inbound("first", " -x"),
                                     "2s " + outbound("first", " -y"),
                                     "3s " + inbound("first", " -y"),
                                 }));
}

TEST_F(IpsecPolicyTest, aRunCutShortLeavesThePolicyCommandsUsable) {
    processes.failOn = "zerta to windows";
    loop.duringNextDelay([&] { policy.config_ipsec(kPolicyOff); });
    EXPECT_THROW(policy.config_ipsec(kPolicyOn), std::runtime_error);
    EXPECT_FALSE(policy.ipsecBusy());

    // The withdrawal queued behind the broken run is dropped with it, not started by a later call.
    processes.started.clear();
    loop.elapsedSeconds = 0;
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.started, (Lines{"0s " + outbound("first", " -x"), "1s " + inbound("first", " -x")}));
}

}  // namespace
}  // namespace velmora
