#include "core/system/l2tp_switch.h"

#include <gtest/gtest.h>

#include "core/system/general.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"

namespace velmora {
namespace {

using testing::FakeRegistry;

constexpr const char* kParameters = "System\\CurrentControlSet\\Services\\RasMan\\Parameters";

class L2tpSwitch : public ::testing::Test {
protected:
    void store(std::uint32_t type, std::vector<std::uint8_t> data) {
        registry.key(kHkeyLocalMachine, kParameters).values[kProhibitIpsec] = {type, std::move(data)};
    }
    // The switch as the next start would find it.
    const FakeRegistry::Value* stored() const {
        return registry.value(kHkeyLocalMachine, kParameters, kProhibitIpsec);
    }
    void expectSetToDwordOne() const {
        ASSERT_NE(stored(), nullptr);
        EXPECT_EQ(stored()->type, testing::kRegDword);
        EXPECT_EQ(stored()->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    }

    FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    Operations& operations = machine.operations;
    testing::FakeControlSurface window;
    testing::MemoryLog log;
};

TEST_F(L2tpSwitch, dwordOneLetsStartUpGoOnUntouched) {
    registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 1);
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::carryOn);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(log.file.lines.empty());
}

TEST_F(L2tpSwitch, zeroIsSetAndTheProgramEndsAfterTheRestartMessage) {
    registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 0);
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    expectSetToDwordOne();
    EXPECT_EQ(window.messages, std::vector<std::string>{"注册表已经修改，需要重新启动计算机才能生效！"});
    EXPECT_EQ(log.file.lines, std::vector<std::string>{testing::kLogTime +
                                                       "注册表值 ProhibitIpsec 已设为 1，需要重新启动计算机才能生效，程序结束"});
}

TEST_F(L2tpSwitch, absentValueIsSet) {
    registry.key(kHkeyLocalMachine, kParameters);
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    expectSetToDwordOne();
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

TEST_F(L2tpSwitch, textOneReadsAsFortyNineAndIsOverwritten) {
    store(testing::kRegSz, {'1', 0});
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    expectSetToDwordOne();
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

TEST_F(L2tpSwitch, oneByteBinaryOneCountsAsSet) {
    store(testing::kRegBinary, {0x01});
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::carryOn);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(L2tpSwitch, otherNumbersAndLongDataAreOverwritten) {
    for (const auto& data : std::vector<std::vector<std::uint8_t>>{{2, 0, 0, 0}, {1, 1, 0, 0}, {1, 0, 0, 0, 0}}) {
        window.messages.clear();
        store(testing::kRegBinary, data);
        EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
        expectSetToDwordOne();
        EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
    }
}

TEST_F(L2tpSwitch, theStartAfterTheRestartGoesOn) {
    registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 0);
    ASSERT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    window.messages.clear();
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::carryOn);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(L2tpSwitch, missingKeyIsCreatedAndSet) {
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    expectSetToDwordOne();
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

TEST_F(L2tpSwitch, missingKeyThatCannotBeCreatedIsNotCalledARestart) {
    registry.keysCanBeCreated = false;
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    EXPECT_EQ(stored(), nullptr);
    EXPECT_EQ(window.messages, std::vector<std::string>{"注册表修改失败！请以管理员身份运行本程序。"});
    EXPECT_EQ(log.file.lines, std::vector<std::string>{testing::kLogTime + "注册表值 ProhibitIpsec 写入失败，程序结束"});
}

TEST_F(L2tpSwitch, keyWithoutWriteAccessShowsTheFailure) {
    registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 0);
    registry.key(kHkeyLocalMachine, kParameters).writable = false;
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    EXPECT_EQ(stored()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(window.messages, std::vector<std::string>{kWriteFailedMessage});
}

TEST_F(L2tpSwitch, unreadableButWritableKeyIsSet) {
    registry.setDword(kHkeyLocalMachine, kParameters, kProhibitIpsec, 1);
    registry.key(kHkeyLocalMachine, kParameters).readable = false;
    EXPECT_EQ(modifyL2tpReg(registry, operations, window, log.log), StartUp::endProgram);
    EXPECT_EQ(registry.writes, 1);
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Windows started an hour before now; each row a record an installer may have left.
TEST(PendingRestart, isRemindedOnlyWhenAnInstallerChangedTheSwitchSinceWindowsStarted) {
    constexpr std::uint64_t kNow = 134000000000000000;
    constexpr std::uint32_t kUpMs = 3600 * 1000;
    constexpr std::uint64_t kStarted = kNow - std::uint64_t{kUpMs} * 10000;
    struct Row {
        const char* record;
        std::string setAt;
        bool reminded;
    };
    const Row rows[] = {
        {kSetupSwitchRecords[0], std::to_string(kStarted + 1), true},
        {kSetupSwitchRecords[1], std::to_string(kNow), true},
        {kSetupSwitchRecords[0], std::to_string(kStarted - 1), false},
        {kSetupSwitchRecords[1], "13400000000000000x", false},
        {kSetupSwitchRecords[1], "", false},
        {"SOFTWARE\\Elsewhere", std::to_string(kNow), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.record) + " " + row.setAt);
        FakeRegistry registry;
        registry.setString(kHkeyLocalMachine, row.record, kSwitchSetAt, row.setAt);
        testing::FakeControlSurface window;
        testing::MemoryLog log;
        log.clock.now = kNow;
        log.clock.ticks = kUpMs;
        remindOfPendingRestart(registry, log.clock, window, log.log);
        EXPECT_EQ(window.messages, row.reminded ? std::vector<std::string>{kRestartPendingMessage}
                                                : std::vector<std::string>{});
        EXPECT_EQ(log.file.lines.size(), row.reminded ? 1u : 0u);
    }
}

}  // namespace
}  // namespace velmora
