// The dialer with the real Win32 services in the private network namespace, against the stand-in
// rasdial and route: what the tools were asked to do is read back from the journal.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/profile/conn_profile.h"
#include "core/service/local_operations.h"
#include "core/system/tool_paths.h"
#include "core/text/command_line.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_ip_helper.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_remote_access.h"
#include "platform/win32/win32_shell_folders.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_windows_version.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_registry.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::eventually;

using Lines = std::vector<std::string>;

bool hostHas(const std::string& address) {
    Win32IpHelper table;
    for (const Ipv4Bytes& bytes : table.addressTable().addresses) {
        if (std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
                std::to_string(bytes[3]) ==
            address) {
            return true;
        }
    }
    return false;
}

bool journalHas(const std::string& line) {
    const Lines journal = sim::readJournal();
    return std::find(journal.begin(), journal.end(), line) != journal.end();
}

class DialEndToEnd : public ::testing::Test {
protected:
    DialEndToEnd() {
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
        // The operations write the dial's phonebook in their own folder.
        programFiles.folder = narrow(sim.path());
        window.setText(Control::txtUserName, "zhangwei");
        window.setText(Control::txtPasswd, "secret1");
        window.setText(Control::txtlocal, "");
        window.setText(Control::txtpeer2, "");
        window.setText(Control::txtpeermask2, "");
    }
    ~DialEndToEnd() override {
        // Each test starts from the bare namespace again.
        for (const char* address : {"10.10.10.4", "10.10.10.5"}) {
            if (hostHas(address)) {
                testing::runCommandLine(std::string("/bin/sh -c \"ip addr del ") + address + "/32 dev lo\"");
                EXPECT_TRUE(eventually([&] { return !hostHas(address); }));
            }
        }
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
    }

    // The dial's line for a user and password, naming the phonebook the operations wrote.
    std::string dialLine(const std::string& credentials = "zhangwei secret1",
                         const std::wstring& phonebook = L"pptp.pbk") const {
        return "rasdial corvinaltexum " + credentials + " /PHONE:203.0.113.10 /PHONEBOOK:" +
               quoteArgument(narrow(sim.file(phonebook))) + " ";
    }

    // A line started after the dial: once it is journalled, what the dial started has had its turn.
    void settle() {
        (void)processes.start(systemTool(shell, "ping"), "ping -n 8 10.0.0.0", Processes::Window::hidden);
        ASSERT_TRUE(eventually([] { return journalHas("ping -n 8 10.0.0.0"); }));
    }

    testing::TempFolder sim;
    testing::FakeControlSurface window;
    Win32Processes processes;
    Win32EventLoop loop;
    Win32IpHelper table;
    Win32RemoteAccess ras;
    LinkQuery linkQuery{ras};
    Win32ShellFolders shell;
    Win32TextFiles files;
    testing::FakeFileOperations programFiles;
    testing::FakeRegistry registry;
    Win32WindowsVersion version;
    testing::FakeLogonTasks tasks;
    LocalOperations operations{processes, registry, files, programFiles, shell, version, tasks};
    testing::MemoryLog log;
    Dialer dialer{window, operations, loop, table, linkQuery, ras, log.log};
};

TEST_F(DialEndToEnd, aDialThatBringsUpTheTunnelAddsTheRouteThroughIt) {
    sim::saveRasdialScenario({true, 0, "10.10.10.4"});
    dialer.dialtol2tp("corvinaltexum", Origin::window);

    EXPECT_EQ(window.messages, Lines{"拨号成功！"});
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    ASSERT_TRUE(eventually([] { return sim::readJournal().size() >= 2; }));
    EXPECT_EQ(sim::readJournal(), (Lines{dialLine(), "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1"}));
}

TEST_F(DialEndToEnd, aSlowDialIsWaitedForAndBothNetworksAreRouted) {
    window.setText(Control::txtpeer2, "192.168.50.0");
    window.setText(Control::txtpeermask2, "255.255.255.0");
    window.setValue(Control::Option1, kProtocolL2tp);
    sim::saveRasdialScenario({true, 2, "10.10.10.5"});
    dialer.dialtol2tp("corvinaltexum", Origin::window);

    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.5");
    ASSERT_TRUE(eventually([] { return sim::readJournal().size() >= 3; }));
    const Lines journal = sim::readJournal();
    EXPECT_EQ(journal[0], dialLine("zhangwei secret1", L"ipsec.pbk"));
    // The two routes run side by side, in either order.
    const Lines routes = {journal.begin() + 1, journal.end()};
    EXPECT_EQ(std::count(routes.begin(), routes.end(), "route add 10.0.0.0 mask 255.255.0.0 10.10.10.5 metric 1"), 1);
    EXPECT_EQ(std::count(routes.begin(), routes.end(), "route add 192.168.50.0 mask 255.255.255.0 10.10.10.5 metric 1"),
              1);
}

TEST_F(DialEndToEnd, aUserNameAndPasswordWithBlanksReachRasdialWhole) {
    window.setText(Control::txtUserName, "李 娜");
    window.setText(Control::txtPasswd, "open sesame");
    sim::saveRasdialScenario({true, 0, "10.10.10.4"});
    dialer.dialtol2tp("corvinaltexum", Origin::window);

    EXPECT_EQ(window.messages, Lines{"拨号成功！"});
    ASSERT_TRUE(eventually([] { return sim::readJournal().size() >= 2; }));
    EXPECT_EQ(sim::readJournal()[0],
              dialLine("\"李 娜\" \"open sesame\""));
}

TEST_F(DialEndToEnd, aFailedDialJournalsNoRoute) {
    sim::saveRasdialScenario({false, 0, "", 800});
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    settle();

    // rasdial's exit status reached the message, described by the service.
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind("拨号失败！请检查PPTP参数重新拨号！\n\n错误 800：无法建立 VPN 连接。", 0), 0u)
        << window.messages[0];
    EXPECT_EQ(sim::readJournal(), (Lines{dialLine(), "ping -n 8 10.0.0.0"}));
    EXPECT_TRUE(sim::loadConnections().empty());
    EXPECT_EQ(window.text(Control::txtlocal), "");
}

TEST_F(DialEndToEnd, aDialWatchedUnderAnotherEntryNameReportsFailure) {
    sim::saveRasdialScenario({true, 0, "10.10.10.4"});
    dialer.dialtol2tp("office", Origin::window);
    settle();

    EXPECT_EQ(window.messages, Lines{"拨号失败！请检查PPTP参数重新拨号！"});
    EXPECT_EQ(sim::readJournal(), (Lines{dialLine(), "ping -n 8 10.0.0.0"}));
    // The entry the dial names did come up; only the watched name did not.
    ASSERT_EQ(sim::loadConnections().size(), 1u);
    EXPECT_EQ(sim::loadConnections()[0].entryName, "corvinaltexum");
    EXPECT_EQ(window.text(Control::txtlocal), "");
}

// The default-gateway dial names defaultgate.pbk beside the program by its full path: rasdial runs
// in the system folder, and the folder the program was started from is never looked in.
class DefaultGatewayDialEndToEnd : public DialEndToEnd {
protected:
    DefaultGatewayDialEndToEnd() {
        programFiles.folder = narrow(programFolder.path());
        GetCurrentDirectoryW(MAX_PATH, previousFolder);
        SetCurrentDirectoryW(startedFrom.path().c_str());
        sim::saveRasdialScenario({true, 0, "10.10.10.4"});
    }
    ~DefaultGatewayDialEndToEnd() override { SetCurrentDirectoryW(previousFolder); }

    static void putPhonebook(const std::wstring& path, const std::string& bytes) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }
    void putPhonebook(const std::string& bytes) const { putPhonebook(programFolder.file(L"defaultgate.pbk"), bytes); }

    std::string defaultGateDial() const {
        return "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:" +
               quoteArgument(narrow(programFolder.file(L"defaultgate.pbk"))) + " ";
    }
    testing::TempFolder programFolder;
    testing::TempFolder startedFrom;
    wchar_t previousFolder[MAX_PATH] = {};
};

TEST_F(DefaultGatewayDialEndToEnd, findsThePhonebookBesideTheProgramAndComesUp) {
    putPhonebook(testing::kDefaultGatePbk);
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);

    EXPECT_EQ(window.messages, Lines{"拨号成功！"});
    EXPECT_EQ(sim::readJournal(), Lines{defaultGateDial()});
    ASSERT_EQ(sim::loadConnections().size(), 1u);
    EXPECT_EQ(window.text(Control::txtlocal), "") << "the default-gateway dial composes no route";
}

// As rasdial does, with the remote-access error of an entry it cannot find, which the message
// names.
constexpr const char* kEntryNotFound = "拨号失败！请检查PPTP参数重新拨号！\n\n错误 623：找不到此连接的电话簿项。\n";

TEST_F(DefaultGatewayDialEndToEnd, failsWithoutThePhonebookBesideTheProgramWhateverTheStartFolderHolds) {
    putPhonebook(startedFrom.file(L"defaultgate.pbk"), testing::kDefaultGatePbk);
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);

    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind(kEntryNotFound, 0), 0u) << window.messages[0];
    EXPECT_EQ(sim::readJournal(), Lines{defaultGateDial()});
    EXPECT_TRUE(sim::loadConnections().empty());
}

TEST_F(DefaultGatewayDialEndToEnd, failsWithAPhonebookThatLacksTheEntry) {
    putPhonebook("[office]\r\nType=2\r\n");
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);

    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].rfind(kEntryNotFound, 0), 0u) << window.messages[0];
    EXPECT_TRUE(sim::loadConnections().empty());
}

}  // namespace
}  // namespace velmora
