// The entry-name list from the remote-access service. The stand-in rasapi32.dll answers from
// the simulated phonebook, so this runs with WINEDLLOVERRIDES=rasapi32=n.
#include <windows.h>
#include <ras.h>
#include <raserror.h>

#include <cstring>

#include <gtest/gtest.h>

#include "core/connection/connection_list.h"
#include "core/system/general.h"
#include "platform/win32/win32_remote_access.h"
#include "sim/sim_state.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_operations.h"
#include "tests/fakes/fake_registry.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using Names = std::vector<std::string>;

Names numberedNames(int count) {
    Names names;
    for (int i = 0; i < count; ++i) {
        names.push_back("entry " + std::to_string(count - i));
    }
    return names;
}

class Win32ConnectionList : public ::testing::Test {
protected:
    Win32ConnectionList() {
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", folder.path().c_str());
        registry.setDword(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\RasMan\\Parameters", kProhibitIpsec,
                          1);
    }
    ~Win32ConnectionList() override { SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr); }

    Names listAfterStartUp(const Names& phonebook) {
        sim::saveEntries(phonebook);
        EXPECT_EQ(getAllConn(ras, registry, machine.operations, window, log.log), StartUp::carryOn);
        return window.listItems(Control::txtConnName);
    }

    testing::TempFolder folder;
    Win32RemoteAccess ras;
    testing::FakeRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    testing::FakeControlSurface window;
    testing::MemoryLog log;
};

TEST_F(Win32ConnectionList, emptyPhonebookListsNothingAndTheSwitchStillRuns) {
    registry.setDword(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\RasMan\\Parameters", kProhibitIpsec, 0);
    sim::saveEntries({});
    EXPECT_EQ(getAllConn(ras, registry, machine.operations, window, log.log), StartUp::endProgram);
    EXPECT_TRUE(window.listItems(Control::txtConnName).empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{kRestartMessage});
}

TEST_F(Win32ConnectionList, oneEntryWithAChineseNameComesThroughTheAnsiCodePage) {
    EXPECT_EQ(listAfterStartUp({"公司VPN"}), Names{"公司VPN"});
}

TEST_F(Win32ConnectionList, allTwoHundredFiftySixInTheServicesOrder) {
    const Names phonebook = numberedNames(256);
    EXPECT_EQ(listAfterStartUp(phonebook), phonebook);
}

TEST_F(Win32ConnectionList, longestNameIsKeptWhole) {
    const std::string longest(256, 'n');
    EXPECT_EQ(listAfterStartUp({"a", longest, "b"}), (Names{"a", longest, "b"}));
}

TEST_F(Win32ConnectionList, moreEntriesThanTheArrayHoldsListNothing) {
    EXPECT_TRUE(listAfterStartUp(numberedNames(257)).empty());
    EXPECT_TRUE(listAfterStartUp(numberedNames(300)).empty());
}

// The stand-in itself must refuse what the real service refuses, or the tests above prove little.
TEST_F(Win32ConnectionList, standInReportsTooSmallABufferWithoutWritingPastIt) {
    sim::saveEntries({"one", "two", "three"});
    struct Record {
        DWORD dwSize;
        char szEntryName[257];
    };
    static_assert(sizeof(Record) == 264, "record layout");
    Record records[3];
    std::memset(records, 0x5A, sizeof records);
    records[0].dwSize = sizeof(Record);
    DWORD bytes = 2 * sizeof(Record);
    DWORD count = 0;
    EXPECT_EQ(RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(records), &bytes, &count),
              static_cast<DWORD>(ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(bytes, 3 * sizeof(Record));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(records[2].szEntryName[0], 0x5A);

    records[0].dwSize = 532;
    bytes = sizeof records;
    EXPECT_EQ(RasEnumEntriesA(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(records), &bytes, &count),
              static_cast<DWORD>(ERROR_INVALID_SIZE));
}

}  // namespace
}  // namespace velmora
