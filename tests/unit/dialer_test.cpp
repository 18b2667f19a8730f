#include "core/connection/dialer.h"

#include <gtest/gtest.h>

#include "core/connection/phonebook.h"
#include "core/profile/conn_profile.h"
#include "core/service/local_operations.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kSucceeded = "拨号成功！";
// The window's profile dials PPTP, as does every default-gateway dial.
constexpr const char* kFailed = "拨号失败！请检查PPTP参数重新拨号！";
constexpr const char* kL2tpFailed = "拨号失败！请检查L2TP参数重新拨号！";
constexpr const char* kPptpDial =
    "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:\"C:\\Program Files\\Velmora\\pptp.pbk\" ";
constexpr const char* kRoute1 = "route add 10.0.0.0 mask 255.255.0.0 10.10.10.4 metric 1";
constexpr const char* kRoute2 = "route add 200.200.0.0 mask 255.255.0.0 10.10.10.4 metric 1";

class DialerTest : public ::testing::Test {
protected:
    DialerTest() {
        window.setText(Control::txtUserName, "zhangwei");
        window.setText(Control::txtPasswd, "secret1");
        window.setText(Control::txtlocal, "");
        table.add("127.0.0.1");
        table.add("192.168.1.20");
    }

    // The dial brings the entry up, and the tunnel's address (when one is given) appears.
    void dialConnects(const std::vector<std::string>& newAddresses = {"10.10.10.4"}) {
        processes.onRun = [this, newAddresses](const std::string&) {
            ras.connect(7, "corvinaltexum");
            for (const std::string& address : newAddresses) {
                table.add(address);
            }
        };
    }

    testing::FakeControlSurface window;
    testing::FakeProcesses processes;
    testing::FakeEventLoop loop;
    testing::FakeIpHelper table;
    testing::FakeRemoteAccess ras;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\zhangwei\\My Documents")};
    LinkQuery linkQuery{ras};
    testing::FakeTextFiles files;
    testing::FakeFileOperations programFiles;
    testing::FakeRegistry registry;
    testing::FakeWindowsVersion version;
    testing::FakeLogonTasks tasks;
    LocalOperations operations{processes, registry, files, programFiles, shell, version, tasks};
    testing::MemoryLog log;
    Dialer dialer{window, operations, loop, table, linkQuery, ras, log.log};
};

TEST_F(DialerTest, successFindsTheTunnelAddressAndAddsBothRoutes) {
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(processes.waited, Lines{kPptpDial});
    EXPECT_EQ(processes.dialWindows, std::vector<Processes::Window>{Processes::Window::hidden}) << "no console";
    EXPECT_EQ(dialer.routeCmd1(), kRoute1);
    EXPECT_EQ(dialer.routeCmd2(), kRoute2);
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    EXPECT_EQ(processes.started, (Lines{kRoute1, kRoute2}));
    EXPECT_EQ(window.messages, Lines{kSucceeded});
    EXPECT_EQ(table.reads, 2);
}

TEST_F(DialerTest, readsTheAddressesOnceBeforeAndOnceAfterTheDial) {
    int readsWhenDialed = -1;
    processes.onRun = [&](const std::string&) { readsWhenDialed = table.reads; };
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(readsWhenDialed, 1);
    EXPECT_EQ(table.reads, 2);
}

TEST_F(DialerTest, networkTwoEmptyInvalidOrZeroGivesNoSecondRoute) {
    dialConnects();
    for (const auto& [address, mask] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"200.200.0.256", "255.255.0.0"}, {"200.200.0.0", "255.255.0"}, {"0.0.0.0", "255.255.0.0"}}) {
        window.setText(Control::txtpeer2, address);
        window.setText(Control::txtpeermask2, mask);
        processes.started.clear();
        table.table.addresses.resize(2);  // the tunnel's address went with the last link
        dialer.dialtol2tp("corvinaltexum", Origin::window);
        EXPECT_EQ(dialer.routeCmd2(), "") << address << " / " << mask;
        EXPECT_EQ(processes.started, Lines{kRoute1}) << address << " / " << mask;
    }
}

// A fresh settings file's network 1, 0.0.0.0/255.255.255.0, is routed no more than network 2's.
TEST_F(DialerTest, networkOneOfZeroGivesNoRouteOfItsOwn) {
    dialConnects();
    window.setText(Control::txtpeer, "0.0.0.0");
    window.setText(Control::txtpeermask, "255.255.255.0");
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_EQ(dialer.routeCmd2(), kRoute2);
    EXPECT_EQ(processes.started, Lines{kRoute2});
}

TEST_F(DialerTest, masksTypedWithLeadingZerosGoIntoTheRoutesAsTyped) {
    dialConnects();
    window.setText(Control::txtpeer, " 172.16.5.9 ");
    window.setText(Control::txtpeermask, "255.255.000.000 ");
    window.setText(Control::txtpeer2, "192.168.7.1");
    window.setText(Control::txtpeermask2, "255.255.255.00");
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(dialer.routeCmd1(), "route add 172.16.0.0 mask 255.255.000.000 10.10.10.4 metric 1");
    EXPECT_EQ(dialer.routeCmd2(), "route add 192.168.7.0 mask 255.255.255.00 10.10.10.4 metric 1");
}

TEST_F(DialerTest, invalidNetworkOneRefusesToDial) {
    dialConnects();
    window.setText(Control::txtpeermask, "255.255.0");
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{"远端内网地址和掩码错误！"});
    EXPECT_EQ(window.messageSigns, std::vector<MessageSign>{MessageSign::warning}) << "the user's to correct";
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_EQ(table.reads, 0);
}

// Whatever became of the phonebook since the start (an entry naming a dial library of someone's
// choosing, say), rasdial reads the program's own; when it cannot be written, nothing is dialled.
TEST_F(DialerTest, thePhonebookIsWrittenAnewJustBeforeEachDialOrNothingIsDialled) {
    struct Row {
        int protocol;
        const char* phonebook;
    };
    for (const Row& row : {Row{kProtocolPptp, "C:\\Program Files\\Velmora\\pptp.pbk"},
                           Row{kProtocolL2tp, "C:\\Program Files\\Velmora\\ipsec.pbk"}}) {
        window.setValue(Control::Option1, row.protocol);
        files.files[row.phonebook] = "[corvinaltexum]\r\nCustomDialDll=C:\\Users\\bob\\dial.dll\r\n";
        std::string readByRasdial;
        processes.onRun = [&](const std::string&) { readByRasdial = files.files[row.phonebook]; };
        dialer.dialtol2tp("corvinaltexum", Origin::window);
        testing::FakeTextFiles expected;
        ASSERT_TRUE(expected.writeLines(row.phonebook, phonebookLines(row.protocol)));
        EXPECT_EQ(readByRasdial, expected.files[row.phonebook]) << row.phonebook;
    }

    processes.waited.clear();
    window.messages.clear();
    processes.onRun = nullptr;
    files.unwritable.insert("C:\\Program Files\\Velmora\\ipsec.pbk");
    EXPECT_EQ(dialer.dialtol2tp("corvinaltexum", Origin::window), DialOutcome::refused);
    EXPECT_TRUE(processes.waited.empty());
    EXPECT_EQ(window.messages,
              Lines{"无法写入电话簿文件 C:\\Program Files\\Velmora\\ipsec.pbk，没有拨号。请检查该文件夹能否写入。"});
    EXPECT_EQ(log.file.lines.back(), testing::kLogTime + "无法写入电话簿文件 C:\\Program Files\\Velmora\\ipsec.pbk");
}

TEST_F(DialerTest, withIpsecOrDefaultGatewayTheRoutesAreComposedButNotStarted) {
    for (const Control box : {Control::Check1, Control::Check2}) {
        for (const int value : {kChecked, kGreyed}) {
            window.setValue(Control::Check1, kUnchecked);
            window.setValue(Control::Check2, kUnchecked);
            window.setValue(box, value);
            dialConnects();
            table.table.addresses.resize(2);
            window.setText(Control::txtlocal, "");
            dialer.dialtol2tp("corvinaltexum", Origin::window);
            EXPECT_EQ(dialer.routeCmd1(), kRoute1);
            EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
            EXPECT_TRUE(processes.started.empty());
        }
    }
}

TEST_F(DialerTest, autoDialOnShowsNoMessageEitherWay) {
    window.setValue(Control::Check3, kChecked);
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(dialer.routeCmd1(), kRoute1);
}

TEST_F(DialerTest, failedDialKeepsTheLastRoutesAndAddress) {
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    ras.list.connections.clear();
    table.table.addresses.resize(2);
    window.setText(Control::txtpeer, "172.16.0.0");
    processes.onRun = nullptr;
    processes.started.clear();
    window.messages.clear();

    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{kFailed});
    EXPECT_EQ(dialer.routeCmd1(), kRoute1);
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
    EXPECT_TRUE(processes.started.empty());
}

TEST_F(DialerTest, anotherEntryNameReportsFailureAndComposesNoRoute) {
    dialConnects();
    dialer.dialtol2tp("office", Origin::window);
    EXPECT_EQ(processes.waited, Lines{kPptpDial});
    EXPECT_EQ(window.messages, Lines{kFailed});
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_EQ(window.text(Control::txtlocal), "");
}

TEST_F(DialerTest, upWithoutANewAddressSucceedsAndKeepsThePreviousRoutes) {
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    processes.started.clear();
    window.messages.clear();
    dialConnects({});  // the link is up, the table as long as before

    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{kSucceeded});
    EXPECT_EQ(dialer.routeCmd1(), kRoute1);
    EXPECT_TRUE(processes.started.empty());
}

TEST_F(DialerTest, fiftyBeforeAndFiftyOneAfterIsOneErrorAndNoRoute) {
    for (int i = 3; i <= 50; ++i) {
        table.add("192.168.2." + std::to_string(i));
    }
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, (Lines{"ERROR", kSucceeded}));
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_EQ(window.text(Control::txtlocal), "");
}

TEST_F(DialerTest, fiftyOneAndMoreIsAnErrorForEachSnapshotAndNoRoute) {
    for (int i = 3; i <= 60; ++i) {
        table.add("192.168.2." + std::to_string(i));
    }
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, (Lines{"ERROR", "ERROR", kSucceeded}));
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_TRUE(processes.started.empty());
}

TEST_F(DialerTest, anUnreadableTableNeverYieldsARoute) {
    dialConnects();
    table.table.status = AddressTableStatus::noSize;  // before the dial only
    processes.onRun = [this](const std::string&) {
        ras.connect(7, "corvinaltexum");
        table.table.status = AddressTableStatus::ok;
        table.add("10.10.10.4");
    };
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{kSucceeded});
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_EQ(window.text(Control::txtlocal), "");
}

TEST_F(DialerTest, routeAddStartsTheStoredCommandsEveryTime) {
    dialer.routeAdd();
    EXPECT_TRUE(processes.started.empty());
    window.setText(Control::txtpeer2, "");
    dialConnects();
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    processes.started.clear();
    dialer.routeAdd();
    dialer.routeAdd();
    EXPECT_EQ(processes.started, (Lines{kRoute1, kRoute1}));
}

TEST_F(DialerTest, defaultGatewayDialUsesItsPhonebookAndReportsWhateverAutoDialSays) {
    window.setText(Control::txtHD, "BFEBFBFF000306A9");
    window.setValue(Control::Check3, kChecked);
    window.setText(Control::txtpeer, "not an address");
    dialConnects();
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);
    EXPECT_EQ(processes.waited,
              Lines{"rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:\"C:\\Program Files\\Velmora\\defaultgate.pbk\" "});
    EXPECT_EQ(window.messages, Lines{kSucceeded});
    EXPECT_EQ(table.reads, 0);
    EXPECT_EQ(dialer.routeCmd1(), "");
    EXPECT_EQ(window.text(Control::txtlocal), "");
    EXPECT_TRUE(processes.started.empty());
}

TEST_F(DialerTest, defaultGatewayDialReportsFailure) {
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{kFailed});
}

TEST_F(DialerTest, aFailureSaysWhyWithTheSystemsTextAndWhatToCheck) {
    processes.exitStatus = 691;
    ras.errorTexts[691] = "由于用户名或密码无效，访问被拒绝。";
    window.setValue(Control::checkHD, 1);
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, Lines{std::string(kFailed) +
                                     "\n\n错误 691：由于用户名或密码无效，访问被拒绝。\n"
                                     "请检查VPN用户名和VPN密码。启用“验证硬件特征码”时，密码前还会加上特征码，"
                                     "服务器须认可该特征码。"});

    // The default-gateway dial puts no hardware code before the password.
    window.messages.clear();
    dialer.dialtol2tp_defaultgate("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages,
              Lines{std::string(kFailed) + "\n\n错误 691：由于用户名或密码无效，访问被拒绝。\n请检查VPN用户名和VPN密码。"});

    // Nor does a dial with 验证硬件特征码 off.
    window.messages.clear();
    window.setValue(Control::checkHD, 0);
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages,
              Lines{std::string(kFailed) + "\n\n错误 691：由于用户名或密码无效，访问被拒绝。\n请检查VPN用户名和VPN密码。"});
}

TEST(DialFailureMessage, namesTheCauseOnlyForRemoteAccessCodesAndHintsWhereItCan) {
    struct Row {
        std::uint32_t status;
        std::string description;
        std::vector<std::string> holds;   // parts the message holds
        std::vector<std::string> lacks;   // and parts it must not
    };
    const std::string failed = std::string(kL2tpFailed) + "\n\n";
    const std::vector<Row> rows = {
        // The tunnel runs without IPsec: its IPsec failures are the switch or another policy.
        {788, "d", {"错误 788：d\n", "ProhibitIpsec", "重新启动", "另有IPSec策略"}, {"l2tpipsec.ini", "UDP 500"}},
        {789, "d", {"ProhibitIpsec", "预共享的密钥和加密认证算法与此无关"}, {"l2tpipsec.ini"}},
        {792, "d", {"ProhibitIpsec", "UDP 500和4500"}, {}},
        {809, "d", {"UDP 1701", "只接受在隧道上使用IPSec的L2TP"}, {"NAT", "AssumeUDPEncapsulation", "PPTP"}},
        {720, "d", {"PPP控制协议", "分配地址"}, {"隧道协议"}},
        {812, "d", {"服务器的策略", "认证方式或该帐户"}, {"L2TP或PPTP"}},
        {868, "d", {"无法解析服务器的主机名"}, {"找不到"}},
        {650, "", {failed + "错误 650：系统没有此错误的说明。"}, {"：\n", "：系统没有此错误的说明。\n"}},
        // Not a remote-access code: the tool's exit status, nothing dressed as a cause.
        {87, "参数错误。", {failed + "rasdial 退出码 87"}, {"错误 87", "参数错误"}},
        {0xC0000005u, "", {failed + "rasdial 退出码 0xC0000005"}, {"3221225477"}},
    };
    // The codes users meet most each have a line on what to check.
    for (const std::uint32_t code :
         {619u, 633u, 718u, 734u, 741u, 742u, 766u, 781u, 617u, 628u, 629u, 631u, 651u, 756u, 769u}) {
        EXPECT_FALSE(dialFailureHint(code, "C:\\", DialKind{}).empty()) << code;
    }
    // The IPsec failures of the tunnel itself all point at the registry switch.
    for (const std::uint32_t code : {786u, 787u, 788u, 789u, 790u, 791u, 792u, 793u, 827u, 835u}) {
        EXPECT_NE(dialFailureHint(code, "C:\\", DialKind{}).find("ProhibitIpsec"), std::string::npos) << code;
    }
    // The headline names the protocol of the dial that failed.
    EXPECT_EQ(dialFailureMessage(std::nullopt, "", "C:\\", DialKind{true, false}), "拨号失败！请检查PPTP参数重新拨号！");
    EXPECT_EQ(dialFailureMessage(691, "拒绝访问。", "C:\\", DialKind{true, false}).rfind("拨号失败！请检查PPTP参数重新拨号！\n\n", 0),
              0u);
    EXPECT_EQ(dialFailureMessage(691, "拒绝访问。", "C:\\", DialKind{}).rfind(std::string(kL2tpFailed) + "\n\n", 0), 0u);
    // A PPTP dial's 809 is about its own port and protocol.
    const std::string pptp809 = dialFailureHint(809, "C:\\", DialKind{true, false});
    EXPECT_NE(pptp809.find("TCP 1723"), std::string::npos) << pptp809;
    EXPECT_NE(pptp809.find("GRE"), std::string::npos) << pptp809;
    EXPECT_EQ(pptp809.find("L2TP"), std::string::npos) << pptp809;
    for (const Row& row : rows) {
        const std::string message = dialFailureMessage(row.status, row.description, "C:\\", DialKind{});
        for (const std::string& part : row.holds) {
            EXPECT_NE(message.find(part), std::string::npos) << row.status << " lacks " << part << ":\n" << message;
        }
        for (const std::string& part : row.lacks) {
            EXPECT_EQ(message.find(part), std::string::npos) << row.status << " holds " << part << ":\n" << message;
        }
    }
}

TEST_F(DialerTest, onlyTheLinkDecidesAndTheStatusOnlyExplains) {
    // Down without an error code, or a dial tool that never started: today's text alone.
    processes.exitStatus = 0;
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    processes.exitStatus = std::nullopt;
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    // Up with an error code: a success all the same.
    dialConnects();
    processes.exitStatus = 691;
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(window.messages, (Lines{kFailed, kFailed, kSucceeded}));
    EXPECT_EQ(window.messageSigns,
              (std::vector<MessageSign>{MessageSign::error, MessageSign::error, MessageSign::information}));
}

TEST_F(DialerTest, theLinkShowsAsDialledUntilTheOutcomeAndAddressAreKnown) {
    dialConnects();
    std::vector<bool> dialling;
    linkQuery.status().setListener([&] { dialling.push_back(linkQuery.status().work().has_value()); });
    processes.onRun = [this, &dialling](const std::string&) {
        EXPECT_EQ(dialling, std::vector<bool>{true});
        ras.connect(7, "corvinaltexum");
        table.add("10.10.10.4");
    };
    window.messages.clear();
    window.duringMessage = [&](const std::string&) {
        EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.4");
        EXPECT_FALSE(linkQuery.status().work().has_value());  // done before the report opens
    };
    dialer.dialtol2tp("corvinaltexum", Origin::window);
    EXPECT_EQ(dialling, (std::vector<bool>{true, true, false}));  // dialling, seen up, done
    EXPECT_EQ(window.messages, Lines{kSucceeded});
}

}  // namespace
}  // namespace velmora
