#include "core/ipsec/ipsec_policy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
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

// A started program whose end the caller has seen once it read an exit status from it.
class SeenProgram : public RunningProgram {
public:
    SeenProgram(std::unique_ptr<RunningProgram> program, int& unseen) : program_(std::move(program)), unseen_(unseen) {
        ++unseen_;
    }
    std::uintptr_t waitHandle() const override { return program_->waitHandle(); }
    std::optional<std::uint32_t> exitStatus() override {
        const std::optional<std::uint32_t> status = program_->exitStatus();
        if (status && !seen_) {
            seen_ = true;
            --unseen_;
        }
        return status;
    }
    void terminate() override { program_->terminate(); }

private:
    std::unique_ptr<RunningProgram> program_;
    int& unseen_;
    bool seen_ = false;
};

// Records each start, with how many runs started before it had not been seen to end by then; can
// fail a start once.
class OrderedProcesses : public testing::FakeProcesses {
public:
    std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& commandLine,
                                          Window window) override {
        EXPECT_EQ(window, Window::hidden) << commandLine;
        if (!failOn.empty() && commandLine.find(failOn) != std::string::npos) {
            failOn.clear();
            throw std::runtime_error("cannot start");
        }
        lines.push_back(commandLine);
        unseenAtStart.push_back(unseen_);
        std::unique_ptr<RunningProgram> started = FakeProcesses::start(program, commandLine, window);
        return started ? std::make_unique<SeenProgram>(std::move(started), unseen_) : nullptr;
    }

    // Every run started after the one before it was seen to end.
    bool eachStartedAfterTheLastEnded() const {
        return std::all_of(unseenAtStart.begin(), unseenAtStart.end(), [](int unseen) { return unseen == 0; });
    }

    Lines lines;
    std::vector<int> unseenAtStart;
    std::string failOn;

private:
    int unseen_ = 0;
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
    // The tool the Windows version calls for: ipsecpol on 2000, ipseccmd on XP (as the fixture
    // starts), velmora-ipsec from Vista on.
    void useTool(const std::string& tool) {
        machine.version.record = tool == "ipsecpol"        ? VersionRecord{5, 0, "Service Pack 4", 2195}
                                 : tool == "velmora-ipsec" ? VersionRecord{10, 0, "", 19045}
                                                           : VersionRecord{5, 1, "Service Pack 3", 2600};
        policy.setIpsecTool(tool);
    }

    testing::FakeControlSurface window;
    testing::FakeEventLoop loop;
    OrderedProcesses processes;
    testing::MemoryLog log;
    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    LocalOperations operations{processes,     registry,        machine.files, machine.folder,
                               machine.shell, machine.version, machine.tasks};
    IpsecPolicy policy{window, operations, loop, log.log};
};

TEST_F(IpsecPolicyTest, eachLineStartsOnceTheOneBeforeHasEndedOnEveryWindows) {
    for (const std::string tool : {"ipsecpol", "ipseccmd", "velmora-ipsec"}) {
        useTool(tool);
        processes.lines.clear();
        policy.config_ipsec(kPolicyOn);
        policy.config_ipsec(kPolicyOff);
        Lines expected;
        for (const std::string& line : {outbound("first", " -x"), inbound("first", " -x"), outbound("first", " -y"),
                                        inbound("first", " -y")}) {
            expected.push_back(tool + line.substr(line.find(' ')));
        }
        EXPECT_EQ(processes.lines, expected) << tool;
        EXPECT_TRUE(processes.eachStartedAfterTheLastEnded()) << tool;
        EXPECT_FALSE(policy.ipsecBusy()) << tool;
    }
}

TEST_F(IpsecPolicyTest, theProfileIsFixedWhenTheCallStarts) {
    loop.duringNextDelay([&] { window.setText(Control::txtpreshare, "changed"); });
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.lines, (Lines{outbound("first", " -x"), inbound("first", " -x")}));
}

// A Stop, or the program's end, arriving while a line of the apply runs, and an apply (a tick's
// re-apply) arriving while a line of the withdrawal runs: the later call's lines start once the run
// beneath has ended, and the call beneath runs nothing more.
TEST_F(IpsecPolicyTest, aCallDuringARunTakesOverOnceItHasEndedAndKeepsTheOrder) {
    struct Row {
        const char* first;
        const char* then;
        int runsBefore;  // the other call comes during this run of the first
        Lines expected;
    };
    const Row rows[] = {
        // The policy ends as asked last, withdrawn with the values that reached the store,
        // whatever the key reads now.
        {kPolicyOn, kPolicyOff, 0, {outbound("first", " -x"), outbound("first", " -y"), inbound("first", " -y")}},
        {kPolicyOn, kPolicyOff, 1,
         {outbound("first", " -x"), inbound("first", " -x"), outbound("first", " -y"), inbound("first", " -y")}},
        {kPolicyOff, kPolicyOn, 0, {outbound("first", " -y"), outbound("second", " -x"), inbound("second", " -x")}},
    };
    for (const Row& row : rows) {
        processes.lines.clear();
        window.setText(Control::txtpreshare, "first");
        const auto takeOver = [&] {
            EXPECT_TRUE(policy.ipsecBusy());
            window.setText(Control::txtpreshare, "second");
            policy.config_ipsec(row.then);
        };
        if (row.runsBefore == 0) {
            loop.duringNextDelay(takeOver);
        } else {
            loop.duringNextDelay([&] { loop.duringNextDelay(takeOver); });
        }
        EXPECT_EQ(policy.config_ipsec(row.first).outcome, PolicyResult::superseded) << row.first << row.runsBefore;
        EXPECT_EQ(processes.lines, row.expected) << row.first << row.runsBefore;
        EXPECT_TRUE(processes.eachStartedAfterTheLastEnded()) << row.first << row.runsBefore;
        EXPECT_FALSE(policy.ipsecBusy());
    }
}

TEST_F(IpsecPolicyTest, theDeepestOfSeveralNestedCallsWins) {
    loop.duringNextDelay([&] {  // a's first run
        window.setText(Control::txtpreshare, "b");
        loop.duringNextDelay([&] {  // b's wait for a's run, before its first line
            window.setText(Control::txtpreshare, "c");
            policy.config_ipsec(kPolicyOn);
        });
        policy.config_ipsec(kPolicyOff);
    });
    window.setText(Control::txtpreshare, "a");
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.lines, (Lines{outbound("a", " -x"), outbound("c", " -x"), inbound("c", " -x")}));
}

TEST_F(IpsecPolicyTest, onceApplyingIsRefusedOnlyWithdrawalRuns) {
    loop.duringNextDelay([&] { policy.refuseApplying(); });  // the program's end, mid-pair
    policy.config_ipsec(kPolicyOn);
    EXPECT_EQ(processes.lines, (Lines{outbound("first", " -x")}));
    policy.config_ipsec(kPolicyOn);
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.lines, (Lines{outbound("first", " -x"), outbound("first", " -y"), inbound("first", " -y")}));
}

TEST_F(IpsecPolicyTest, aRunCutShortLeavesThePolicyCommandsUsable) {
    processes.failOn = "zerta to windows";
    EXPECT_THROW(policy.config_ipsec(kPolicyOn), std::runtime_error);
    EXPECT_FALSE(policy.ipsecBusy());

    // The next call is not taken for one made inside a wait: it runs its own pair.
    processes.lines.clear();
    policy.config_ipsec(kPolicyOff);
    EXPECT_EQ(processes.lines, (Lines{outbound("first", " -y"), inbound("first", " -y")}));
}

// A run that hangs is ended at its limit and fails the call, whatever the tool; an apply runs
// nothing more, a withdrawal still runs its other line; the log has the ended run's status.
TEST_F(IpsecPolicyTest, aRunPastItsLimitIsEndedAndCountsAsFailed) {
    processes.hangs = [](const std::string& line) { return line.find("windows to zerta") != std::string::npos; };
    for (const char* tool : {"ipseccmd", "velmora-ipsec"}) {
        useTool(tool);
        for (const std::string active : {kPolicyOn, kPolicyOff}) {
            processes.lines.clear();
            processes.terminations = 0;
            loop.elapsedMilliseconds = 0;
            const PolicyResult result = policy.config_ipsec(active);
            EXPECT_EQ(result.outcome, PolicyResult::failed) << tool << active;
            EXPECT_NE(result.failure.find("超过 60 秒没有结束，已被结束"), std::string::npos) << result.failure;
            EXPECT_EQ(processes.terminations, 1) << tool << active;
            EXPECT_GE(loop.elapsedMilliseconds, kPolicyRunLimitSeconds * 1000) << tool << active;
            EXPECT_EQ(processes.lines.size(), active == kPolicyOn ? 1u : 2u) << tool << active;
            EXPECT_NE(log.file.lines.back().find("退出码 1223"), std::string::npos) << log.file.lines.back();
        }
    }
}

// A run that cannot start fails the call on every Windows. A status other than 0 fails it only
// where it comes from velmora-ipsec; the old tools' statuses are logged and the pair goes on.
TEST_F(IpsecPolicyTest, whatFailsTheCallByTool) {
    struct Row {
        const char* tool;
        std::optional<std::uint32_t> status;
        PolicyResult::Outcome outcome;
        const char* logged;  // the end of the apply's log line
    };
    const Row rows[] = {
        {"ipseccmd", std::nullopt, PolicyResult::failed, "：ipseccmd，退出码 未能启动"},
        {"ipsecpol", std::nullopt, PolicyResult::failed, "：ipsecpol，退出码 未能启动"},
        {"velmora-ipsec", std::nullopt, PolicyResult::failed, "：velmora-ipsec，退出码 未能启动"},
        {"ipseccmd", 87u, PolicyResult::done, "：ipseccmd，退出码 87、87"},
        {"ipseccmd", 0u, PolicyResult::done, "：ipseccmd，退出码 0、0"},
        {"velmora-ipsec", 87u, PolicyResult::failed, "：velmora-ipsec，退出码 87"},
    };
    for (const Row& row : rows) {
        useTool(row.tool);
        processes.statusOf = [&](const std::string&) { return row.status; };
        const PolicyResult result = policy.config_ipsec(kPolicyOn);
        EXPECT_EQ(result.outcome, row.outcome) << row.tool;
        if (!row.status) {
            EXPECT_EQ(result.failure.rfind("无法启动策略工具 ", 0), 0u) << result.failure;
        }
        const std::string& line = log.file.lines.back();
        EXPECT_EQ(line.substr(line.size() - std::string(row.logged).size()), row.logged) << row.tool;
    }
}

}  // namespace
}  // namespace velmora
