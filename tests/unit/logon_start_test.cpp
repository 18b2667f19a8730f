#include "core/system/logon_start.h"

#include <gtest/gtest.h>

#include "core/system/general.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora {
namespace {

constexpr const char* kProgram = "C:\\Program Files\\Velmora VPN\\velmora.exe";
constexpr const char* kTask = "\\Velmora VPN\\S-1-5-21-1-2-3-1001";

class LogonStartTest : public ::testing::Test {
protected:
    std::optional<std::string> runValue() { return registry.readString(kHkeyCurrentUser, kRunKey, kRunValueName); }

    testing::FakeRegistry registry;
    testing::FakeLogonTasks tasks;
    testing::FakeWindowsVersion version;
    LogonStart start{registry, tasks, version};
};

TEST_F(LogonStartTest, theRunValueBeforeVistaTheTaskFromVistaOnAndOffRemovesIt) {
    for (const auto& [major, minor, task] : std::vector<std::tuple<std::uint32_t, std::uint32_t, bool>>{
             {5, 0, false}, {5, 1, false}, {5, 2, false}, {6, 0, true}, {6, 1, true}, {10, 0, true}}) {
        SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
        version.record = {major, minor, "", 0};
        EXPECT_FALSE(start.isOn(kProgram));
        ASSERT_TRUE(start.turn(true, kProgram));
        EXPECT_TRUE(start.isOn(kProgram));
        EXPECT_EQ(runValue(), task ? std::nullopt : std::optional<std::string>(logonStartCommand(kProgram)));
        EXPECT_EQ(tasks.tasks.count(kTask), task ? 1u : 0u);
        EXPECT_EQ(start.place(), task ? std::string("计划任务 ") + kTask
                                      : "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Velmora VPN");
        ASSERT_TRUE(start.turn(false, kProgram));
        EXPECT_FALSE(start.isOn(kProgram));
        EXPECT_EQ(runValue(), std::nullopt);
        EXPECT_TRUE(tasks.tasks.empty());
    }
    EXPECT_EQ(logonStartCommand(kProgram), "\"C:\\Program Files\\Velmora VPN\\velmora.exe\" /minimized");
}

TEST_F(LogonStartTest, aRunValueOfTheNameStartingSomethingElseIsNotOnIsReplacedByOnAndKeptByOff) {
    version.record = {5, 1, "Service Pack 3", 2600};
    registry.setString(kHkeyCurrentUser, kRunKey, kRunValueName, "C:\\Other\\other.exe");
    EXPECT_FALSE(start.isOn(kProgram));
    EXPECT_TRUE(start.turn(false, kProgram));
    EXPECT_EQ(runValue(), "C:\\Other\\other.exe");
    EXPECT_TRUE(start.turn(true, kProgram));
    EXPECT_EQ(runValue(), logonStartCommand(kProgram));
}

TEST_F(LogonStartTest, theTaskStartsTheProgramInTheTrayAtTheUsersLogonWithHerHighestRights) {
    const std::string xml = logonTaskDefinition("S-1-5-21-9", "C:\\R&D <x>\\velmora.exe");
    for (const char* part :
         {"<LogonTrigger><Enabled>true</Enabled><UserId>S-1-5-21-9</UserId></LogonTrigger>",
          "<Principal id=\"Author\"><UserId>S-1-5-21-9</UserId><LogonType>InteractiveToken</LogonType>"
          "<RunLevel>HighestAvailable</RunLevel></Principal>",
          "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
          "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>", "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
          "<Command>C:\\R&amp;D &lt;x&gt;\\velmora.exe</Command><Arguments>/minimized</Arguments>"}) {
        EXPECT_NE(xml.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace velmora
