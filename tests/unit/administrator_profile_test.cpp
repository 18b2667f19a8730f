#include "core/settings/administrator_profile.h"

#include <gtest/gtest.h>

#include "core/settings/settings_file.h"
#include "core/settings/settings_lines.h"
#include "core/system/general.h"
#include "tests/data/expected_files.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

// One value per row: what it does to a profile of fallbacks, or that it is refused.
struct ValueCase {
    const char* name;
    const char* value;
    bool usable;
    void (*expect)(const ConnProfile& p);
};

TEST(AdministratorSettings, eachValueGoesIntoItsFieldsOrIsRefusedLeavingThemAsTheyWere) {
    const ValueCase cases[] = {
        {"SERVER", "vpn.example.com", true, [](const ConnProfile& p) { EXPECT_EQ(p.txtServerAddress, "vpn.example.com"); }},
        {"SERVER", "203.0.113.010", false, nullptr},
        {"PROTOCOL", "l2tp", true, [](const ConnProfile& p) { EXPECT_EQ(p.Option1, kProtocolL2tp); }},
        {"PROTOCOL", "PPTP", true, [](const ConnProfile& p) { EXPECT_EQ(p.Option1, kProtocolPptp); }},
        {"PROTOCOL", "IKEv2", false, nullptr},
        {"IPSEC", "1", true, [](const ConnProfile& p) { EXPECT_EQ(p.Check1, kChecked); }},
        {"IPSEC", "yes", false, nullptr},
        {"PSK", " s3cr3t ", true, [](const ConnProfile& p) { EXPECT_EQ(p.txtpreshare, "s3cr3t"); }},
        {"PSK", "", false, nullptr},
        {"SUITE", "ESP-3DES-SHA", true, [](const ConnProfile& p) { EXPECT_EQ(p.comalg, "ESP-3DES-SHA"); }},
        {"SUITE", "esp-3des-sha", false, nullptr},
        {"REMOTENET1", "10.8.0.0 / 255.255.0.0", true,
         [](const ConnProfile& p) {
             EXPECT_EQ(p.txtpeer, "10.8.0.0");
             EXPECT_EQ(p.txtpeermask, "255.255.0.0");
         }},
        {"REMOTENET1", "10.8.0.0", false, nullptr},
        {"REMOTENET2", "172.16.0.0/255.240.0.0", true,
         [](const ConnProfile& p) {
             EXPECT_EQ(p.txtpeer2, "172.16.0.0");
             EXPECT_EQ(p.txtpeermask2, "255.240.0.0");
         }},
        {"REMOTENET2", "172.16.0.0/255.240.0.300", false, nullptr},
        {"DEFAULTGATEWAY", "1", true, [](const ConnProfile& p) { EXPECT_EQ(p.Check2, kChecked); }},
        {"AUTODIAL", "0", true, [](const ConnProfile& p) { EXPECT_EQ(p.Check3, kUnchecked); }},
        {"AUTODIAL", "2", false, nullptr},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        ConnProfile p = fallbackProfile();
        p.Check3 = kChecked;
        const AdministratorMerge merged = applyPolicies({{c.name, c.value}}, p);
        if (c.usable) {
            EXPECT_EQ(merged.applied, std::vector<std::string>{c.name});
            c.expect(p);
        } else {
            EXPECT_EQ(merged.unusable, std::vector<std::string>{c.name});
            ConnProfile untouched = fallbackProfile();
            untouched.Check3 = kChecked;
            const testing::FakeAnsiCodec codec;
            EXPECT_EQ(composeSettings(p, codec).lines, composeSettings(untouched, codec).lines);
        }
    }
}

TEST(AdministratorSettings, areReadAsTextOrAsNumbersAndOnlyByTheirNames) {
    testing::FakeRegistry registry;
    registry.setString(kHkeyLocalMachine, kPolicyKey, "SERVER", "vpn.example.com");
    registry.setDword(kHkeyLocalMachine, kPolicyKey, "IPSEC", 1);
    registry.setString(kHkeyLocalMachine, kPolicyKey, "PASSWORD", "not a setting");
    registry.setString(kHkeyLocalMachine, kAdministratorProfileKey, "PSK", "elsewhere");
    EXPECT_EQ(readAdministratorSettings(registry, kPolicyKey),
              (AdministratorSettings{{"SERVER", "vpn.example.com"}, {"IPSEC", "1"}}));
    EXPECT_TRUE(readAdministratorSettings(registry, "SOFTWARE\\Nobody").empty());
}

class AdministratorProfileAtStart : public ::testing::Test {
protected:
    void load(const AdministratorSettings& profile) { settings.readConfig({}, profile); }

    testing::FakeControlSurface window;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\user\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeAnsiCodec codec;
    testing::MemoryLog log;
    SettingsFile settings{window, shell, files, codec, log.log};
    const AdministratorSettings deployed{{"SERVER", "vpn.example.com"}, {"PSK", "Zq8-preshared"},
                                         {"REMOTENET1", "10.8.0.0/255.255.0.0"}, {"IPSEC", "1"},
                                         {"SUITE", "ESP-DES"}, {"AUTODIAL", "on"}};
};

TEST_F(AdministratorProfileAtStart, aFirstStartTakesItAndLogsEachFieldButNeverTheKey) {
    load(deployed);
    EXPECT_EQ(window.text(Control::txtServerAddress), "vpn.example.com");
    EXPECT_EQ(window.text(Control::txtpreshare), "Zq8-preshared");
    EXPECT_EQ(window.text(Control::txtpeer), "10.8.0.0");
    EXPECT_EQ(window.text(Control::txtpeermask), "255.255.0.0");
    EXPECT_EQ(window.text(Control::comalg), "ESP-DES");
    EXPECT_EQ(window.value(Control::Check1), kChecked);
    EXPECT_EQ(window.value(Control::Check3), kUnchecked) << "an unusable value leaves the fallback";
    EXPECT_EQ(log.file.lines,
              (std::vector<std::string>{testing::kLogTime + "管理员配置填入了配置文件尚未保存的设置：SERVER、IPSEC、PSK、SUITE、REMOTENET1",
                                        testing::kLogTime + "管理员配置中的设置无效，未使用：AUTODIAL"}));
    // The user's own from then on: the next save keeps what the window holds.
    window.setText(Control::txtServerAddress, "vpn2.example.com");
    settings.writeConfig();
    load(deployed);
    EXPECT_EQ(window.text(Control::txtServerAddress), "vpn2.example.com");
    EXPECT_EQ(window.text(Control::txtpreshare), "Zq8-preshared");
}

TEST_F(AdministratorProfileAtStart, fillsOnlyTheFieldsTheFileDoesNotHoldYet) {
    // A file of an older version: seven lines, the preshared key's empty.
    files.files[testing::kSettingsPath] = "corvinaltexum\r\n192.168.0.0\r\n255.255.255.0\r\n10.10.10.4\r\n\r\n"
                                       "ESP-3DES\r\nold.example.com\r\n";
    load(deployed);
    EXPECT_EQ(window.text(Control::txtServerAddress), "old.example.com");
    EXPECT_EQ(window.text(Control::txtpeer), "192.168.0.0");
    EXPECT_EQ(window.text(Control::comalg), "ESP-3DES");
    EXPECT_EQ(window.text(Control::txtpreshare), "Zq8-preshared");
    EXPECT_EQ(window.value(Control::Check1), kChecked);
    EXPECT_EQ(log.file.lines[0], testing::kLogTime + "管理员配置填入了配置文件尚未保存的设置：IPSEC、PSK");
}

TEST_F(AdministratorProfileAtStart, aPolicyWinsOverTheFileAndTheProfileIsFixedAndNeverSavedAsTheUsersOwn) {
    files.files[testing::kSettingsPath] = testing::kSampleSettingsFile;
    settings.readConfig({}, {{"SERVER", "profile.example.com"}},
                        {{"SERVER", "policy.example.com"}, {"PSK", "PolicyKey9"}, {"IPSEC", "0"}, {"SUITE", "DES"}});
    EXPECT_EQ(window.text(Control::txtServerAddress), "policy.example.com");
    EXPECT_EQ(window.text(Control::txtpreshare), "PolicyKey9");
    EXPECT_EQ(window.value(Control::Check1), kUnchecked);
    EXPECT_EQ(window.text(Control::comalg), "ESP-3DES-SHA") << "an unusable policy leaves the user's own";
    EXPECT_EQ(window.fixed, (std::set<Control>{Control::txtServerAddress, Control::txtpreshare, Control::Check1}));
    EXPECT_EQ(settings.fixedByPolicy(), (std::vector<std::string>{"SERVER", "IPSEC", "PSK"}));
    EXPECT_EQ(log.file.lines, (std::vector<std::string>{testing::kLogTime + "组策略设定了以下设置，用户不能修改：SERVER、IPSEC、PSK",
                                                        testing::kLogTime + "组策略中的设置无效，未使用：SUITE"}));

    // A save keeps the user's own values of the fixed fields, and everything else as the window holds it.
    window.setText(Control::txtUserName, "lisi");
    settings.writeConfig();
    std::string expected = testing::kSampleSettingsFile;
    expected.replace(expected.find("\xD5\xC5\xC8\xFD"), 4, "lisi");
    EXPECT_EQ(files.files[testing::kSettingsPath], expected);

    // The policy gone, the user's own come back, and nothing is fixed.
    testing::FakeControlSurface next;
    SettingsFile{next, shell, files, codec, log.log}.readConfig({}, {}, {});
    EXPECT_EQ(next.text(Control::txtServerAddress), "vpn.example.com");
    EXPECT_EQ(next.text(Control::txtpreshare), "key123");
    EXPECT_EQ(next.value(Control::Check1), kChecked);
    EXPECT_TRUE(next.fixed.empty());
}

TEST_F(AdministratorProfileAtStart, aPolicyWinsAlsoWhenTheFileCannotBeRead) {
    files.files[testing::kSettingsPath] = testing::kSampleSettingsFile;
    files.unreadable.insert(testing::kSettingsPath);
    window.setText(Control::txtServerAddress, "typed.example.com");
    settings.readConfig({}, deployed, {{"SERVER", "policy.example.com"}});
    EXPECT_EQ(window.text(Control::txtServerAddress), "policy.example.com");
    EXPECT_EQ(window.fixed, std::set<Control>{Control::txtServerAddress});
    EXPECT_EQ(window.text(Control::txtpreshare), "") << "the profile fills no file it could not read";
    settings.writeConfig();
    EXPECT_EQ(files.files[testing::kSettingsPath].find("policy.example.com"), std::string::npos);
}

// A first start tells of the fallbacks only where nothing of the administrator's filled the fields.
TEST_F(AdministratorProfileAtStart, aFirstStartSaysTheFallbacksAreUsedOnlyWhereNothingFilledTheFields) {
    const struct {
        AdministratorSettings profile;
        AdministratorSettings policies;
        bool told;
    } rows[] = {
        {{}, {}, true},
        {{{"AUTODIAL", "on"}}, {}, true},
        {deployed, {}, false},
        {{}, {{"SERVER", "policy.example.com"}}, false},
    };
    for (const auto& row : rows) {
        window.messages.clear();
        settings.readConfig({}, row.profile, row.policies);
        EXPECT_EQ(window.messages, row.told ? std::vector<std::string>{"配置文件不存在，恢复默认配置！"}
                                            : std::vector<std::string>{})
            << row.profile.size() << " " << row.policies.size();
    }
}

TEST_F(AdministratorProfileAtStart, withoutAProfileNothingIsLogged) {
    files.files[testing::kSettingsPath] = testing::kSampleSettingsFile;
    load({});
    EXPECT_TRUE(log.file.lines.empty());
}

}  // namespace
}  // namespace velmora
