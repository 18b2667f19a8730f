#include "core/system/logon_start.h"

#include <gtest/gtest.h>

#include "core/system/general.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"

namespace velmora {
namespace {

constexpr const char* kProgram = "C:\\Program Files\\Velmora VPN\\velmora.exe";
constexpr const char* kSid = "S-1-5-21-1-2-3-1001";
constexpr const char* kEarlierTask = "\\Velmora VPN\\S-1-5-21-1-2-3-1001";

class LogonStartTest : public ::testing::Test {
protected:
    LogonStartTest() { machine.tasks.sid = kSid; }
    std::optional<std::string> runValue() { return registry.readString(kHkeyCurrentUser, kRunKey, kRunValueName); }

    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    LogonStart start{registry};
};

TEST_F(LogonStartTest, theRunValueOnEveryWindowsAndOffRemovesIt) {
    EXPECT_FALSE(start.isOn(kProgram));
    ASSERT_TRUE(start.turn(true, kProgram));
    EXPECT_TRUE(start.isOn(kProgram));
    EXPECT_EQ(runValue(), "\"C:\\Program Files\\Velmora VPN\\velmora.exe\" /minimized");
    EXPECT_EQ(LogonStart::place(), "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Velmora VPN");
    ASSERT_TRUE(start.turn(false, kProgram));
    EXPECT_FALSE(start.isOn(kProgram));
    EXPECT_EQ(runValue(), std::nullopt);
}

TEST_F(LogonStartTest, aRunValueOfTheNameStartingSomethingElseIsNotOnIsReplacedByOnAndKeptByOff) {
    registry.setString(kHkeyCurrentUser, kRunKey, kRunValueName, "C:\\Other\\other.exe");
    EXPECT_FALSE(start.isOn(kProgram));
    EXPECT_TRUE(start.turn(false, kProgram));
    EXPECT_EQ(runValue(), "C:\\Other\\other.exe");
    EXPECT_TRUE(start.turn(true, kProgram));
    EXPECT_EQ(runValue(), logonStartCommand(kProgram));
}

TEST_F(LogonStartTest, anEarlierVersionsTaskBecomesTheRunValueOnceAndOnlyFromVistaOn) {
    struct Row {
        const char* what;
        std::uint32_t major;
        bool task;
        bool moved;
    };
    for (const Row& row : {Row{"XP, where no task was made", 5, true, false},
                           Row{"Windows 10 with the task", 10, true, true},
                           Row{"Windows 10 without one", 10, false, false}}) {
        SCOPED_TRACE(row.what);
        registry.keys.clear();
        machine.tasks.tasks.clear();
        if (row.task) {
            machine.tasks.tasks[kEarlierTask] = "<Task/>";
        }
        const VersionRecord version{row.major, 0, "", 0};
        EXPECT_EQ(start.moveEarlierTask(machine.operations, version, kProgram), row.moved);
        EXPECT_EQ(start.isOn(kProgram), row.moved);
        EXPECT_EQ(machine.tasks.tasks.count(kEarlierTask), row.task && !row.moved ? 1u : 0u);
        // Turned off later, it stays off: the task is looked for once.
        ASSERT_TRUE(start.turn(false, kProgram));
        machine.tasks.tasks[kEarlierTask] = "<Task/>";
        EXPECT_FALSE(start.moveEarlierTask(machine.operations, version, kProgram));
        EXPECT_FALSE(start.isOn(kProgram));
    }
}

}  // namespace
}  // namespace velmora
