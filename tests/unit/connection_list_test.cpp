#include "core/connection/connection_list.h"

#include <gtest/gtest.h>

#include "core/system/general.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"

namespace velmora {
namespace {

using Items = std::vector<std::string>;

class ConnectionList : public ::testing::Test {
protected:
    void SetUp() override { switchOn(1); }
    void switchOn(std::uint32_t value) {
        registry.setDword(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\RasMan\\Parameters",
                          kProhibitIpsec, value);
    }
    Items listed() const { return window.listItems(Control::txtConnName); }

    testing::FakeRemoteAccess ras;
    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    testing::FakeControlSurface window;
    testing::MemoryLog log;
};

TEST_F(ConnectionList, appendsTheEntriesInTheServicesOrder) {
    ras.entries = {"公司VPN", "corvinaltexum", "Beta", "alpha"};
    EXPECT_EQ(getAllConn(ras, registry, machine.operations, window, log.log), StartUp::carryOn);
    EXPECT_EQ(listed(), (Items{"公司VPN", "corvinaltexum", "Beta", "alpha"}));
}

TEST_F(ConnectionList, keepsTheFieldsTextAndWhatTheListHeld) {
    window.setText(Control::txtConnName, "corvinaltexum");
    window.addListItem(Control::txtConnName, "corvinaltexum");
    ras.entries = {"corvinaltexum", "home", "home"};
    getAllConn(ras, registry, machine.operations, window, log.log);
    EXPECT_EQ(listed(), (Items{"corvinaltexum", "corvinaltexum", "home", "home"}));
    EXPECT_EQ(window.text(Control::txtConnName), "corvinaltexum");
}

TEST_F(ConnectionList, noEntriesStillRunsTheRegistrySwitch) {
    switchOn(0);
    EXPECT_EQ(getAllConn(ras, registry, machine.operations, window, log.log), StartUp::endProgram);
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

TEST_F(ConnectionList, theEntriesAreListedBeforeTheProgramEnds) {
    switchOn(0);
    ras.entries = {"home"};
    EXPECT_EQ(getAllConn(ras, registry, machine.operations, window, log.log), StartUp::endProgram);
    EXPECT_EQ(listed(), Items{"home"});
}

TEST_F(ConnectionList, nameExistsOnlyAsAWholeCaseSensitiveItem) {
    ras.entries = {"Office VPN", "公司"};
    getAllConn(ras, registry, machine.operations, window, log.log);
    EXPECT_TRUE(connNameExist(window, "Office VPN"));
    EXPECT_TRUE(connNameExist(window, "公司"));
    EXPECT_FALSE(connNameExist(window, "office vpn"));
    EXPECT_FALSE(connNameExist(window, "Office"));
    EXPECT_FALSE(connNameExist(window, "Office VPN "));
    EXPECT_FALSE(connNameExist(window, ""));
}

TEST_F(ConnectionList, emptyListHoldsNoName) {
    window.setText(Control::txtConnName, "corvinaltexum");
    EXPECT_FALSE(connNameExist(window, "corvinaltexum"));
}

}  // namespace
}  // namespace velmora
