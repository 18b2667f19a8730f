#include "core/service/local_operations.h"

#include <gtest/gtest.h>

#include "core/connection/phonebook.h"
#include "core/system/general.h"
#include "core/system/l2tp_switch.h"
#include "tests/data/expected_files.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_logon_tasks.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"

namespace velmora {
namespace {

constexpr const char* kFolder = "C:\\Program Files\\Velmora";

class LocalOperationsTest : public ::testing::Test {
protected:
    PolicyRun run(RuleDirection rule, bool apply) {
        return PolicyRun{rule, apply, "10.10.10.4", "10.8.0.1", "255.255.0.0", "shared key", "ESP-3DES-SHA"};
    }

    testing::FakeProcesses processes;
    testing::FakeRegistry registry;
    testing::FakeTextFiles files;
    testing::FakeFileOperations folder;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\user\\My Documents")};
    testing::FakeWindowsVersion version;
    testing::FakeLogonTasks tasks;
    LocalOperations operations{processes, registry, files, folder, shell, version, tasks};
};

TEST_F(LocalOperationsTest, eachDialWritesItsPhonebookByteForByteInTheFolderAndNamesItByItsFullPath) {
    const DialStarted l2tp = operations.startDial({DialPhonebook::l2tp, "vpn.example.com", "alice", "secret"});
    EXPECT_EQ(files.files[std::string(kFolder) + "\\ipsec.pbk"], testing::kIpsecPbk);
    EXPECT_EQ(l2tp.phonebook, std::string(kFolder) + "\\ipsec.pbk");
    const DialStarted pptp = operations.startDial({DialPhonebook::pptp, "vpn.example.com", "li na", "pa ss"});
    EXPECT_EQ(files.files[std::string(kFolder) + "\\pptp.pbk"], testing::kPptpPbk);
    EXPECT_EQ(processes.waited,
              (std::vector<std::string>{
                  "rasdial corvinaltexum alice secret /PHONE:vpn.example.com "
                  "/PHONEBOOK:\"C:\\Program Files\\Velmora\\ipsec.pbk\" ",
                  "rasdial corvinaltexum \"li na\" \"pa ss\" /PHONE:vpn.example.com "
                  "/PHONEBOOK:\"C:\\Program Files\\Velmora\\pptp.pbk\" "}));
    EXPECT_EQ(processes.programs,
              (std::vector<std::string>{"C:\\WINDOWS\\system32\\rasdial.exe", "C:\\WINDOWS\\system32\\rasdial.exe"}));
    EXPECT_NE(pptp.program, nullptr);
}

TEST_F(LocalOperationsTest, theDefaultGatewayDialWritesNothingAndAnUnwritablePhonebookDialsNothing) {
    const DialStarted gateway = operations.startDial({DialPhonebook::defaultGateway, "10.0.0.1", "bob", "pw"});
    EXPECT_TRUE(files.files.empty());
    EXPECT_EQ(processes.waited, (std::vector<std::string>{"rasdial corvinaltexum bob pw /PHONE:10.0.0.1 "
                                                          "/PHONEBOOK:\"C:\\Program Files\\Velmora\\defaultgate.pbk\" "}));
    // The phonebook's bytes as the installer's generator writes them.
    files.writeLines("defaultgate.pbk", defaultGatewayPhonebookLines());
    EXPECT_EQ(files.files["defaultgate.pbk"], testing::kDefaultGatePbk);

    files.unwritable.insert(std::string(kFolder) + "\\ipsec.pbk");
    const DialStarted refused = operations.startDial({DialPhonebook::l2tp, "10.0.0.1", "bob", "pw"});
    EXPECT_FALSE(refused.phonebookWritten);
    EXPECT_EQ(refused.program, nullptr);
    EXPECT_EQ(processes.waited.size(), 1u);
}

TEST_F(LocalOperationsTest, policyRunsComposeTheToolsLineForTheWindowsVersionAndRuleFromItsFolder) {
    const std::string ipsecpol = std::string(kFolder) + "\\ipsecpol.exe";
    folder.files = {ipsecpol};
    version.record = {5, 0, "Service Pack 4", 2195};
    EXPECT_NE(operations.startPolicyRun(run(RuleDirection::outbound, true)).program, nullptr);
    version.record = {10, 0, "", 19045};
    EXPECT_NE(operations.startPolicyRun(run(RuleDirection::inbound, false)).program, nullptr);
    EXPECT_EQ(processes.started,
              (std::vector<std::string>{
                  "ipsecpol -w REG -p \"corvinaltexum\" -r \"windows to zerta\" -f 10.10.10.4/255.255.255.255="
                  "10.8.0.0/255.255.0.0 -n ESP[3DES,SHA]3600s/100000k -a preshare:\"shared key\" -t 10.8.0.1 -x",
                  "velmora-ipsec -w REG -p \"corvinaltexum\" -r \"zerta to windows\" -f 10.8.0.0/255.255.0.0="
                  "10.10.10.4/255.255.255.255 -n ESP[3DES,SHA]3600s/100000k -a preshare:\"shared key\" -t 10.10.10.4 "
                  "-y"}));
    EXPECT_EQ(processes.programs, (std::vector<std::string>{ipsecpol, std::string(kFolder) + "\\velmora-ipsec.exe"}));
}

TEST_F(LocalOperationsTest, aPolicyToolThatCannotStartIsNamed) {
    processes.statusOf = [](const std::string&) { return std::nullopt; };
    version.record = {10, 0, "", 19045};
    const Started started = operations.startPolicyRun(run(RuleDirection::outbound, true));
    EXPECT_EQ(started.program, nullptr);
    EXPECT_EQ(started.failure, "无法启动策略工具 C:\\Program Files\\Velmora\\velmora-ipsec.exe。");
    EXPECT_FALSE(started.refused);
}

TEST_F(LocalOperationsTest, routesAreAddedAndDeletedBySystemRoute) {
    EXPECT_TRUE(operations.addRoute({"10.8.0.0", "255.255.0.0", "10.10.10.4"}));
    operations.deleteRoute({"10.8.0.0", "255.255.0.0", "10.10.10.4"});
    EXPECT_EQ(processes.started, (std::vector<std::string>{"route add 10.8.0.0 mask 255.255.0.0 10.10.10.4 metric 1",
                                                           "route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4"}));
    EXPECT_EQ(processes.programs.front(), "C:\\WINDOWS\\system32\\route.exe");
}

TEST_F(LocalOperationsTest, theSwitchIsWrittenOnlyWhenItIsNotOneAndItsKeyMadeWhenMissing) {
    EXPECT_EQ(operations.setL2tpSwitch(), SwitchChange::setNow);
    EXPECT_TRUE(l2tpSwitchSet(registry));
    EXPECT_EQ(operations.setL2tpSwitch(), SwitchChange::alreadySet);
    const std::string parameters = "System\\CurrentControlSet\\Services\\RasMan\\Parameters";
    registry.setDword(kHkeyLocalMachine, parameters, kProhibitIpsec, 0);
    registry.key(kHkeyLocalMachine, parameters).writable = false;
    EXPECT_EQ(operations.setL2tpSwitch(), SwitchChange::notWritten);
}

}  // namespace
}  // namespace velmora
