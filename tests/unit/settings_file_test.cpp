#include "core/settings/settings_file.h"

#include <gtest/gtest.h>

#include "core/profile/conn_profile.h"
#include "tests/data/expected_files.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"

namespace velmora {
namespace {

const std::string kPath = testing::kSettingsPath;
constexpr const char* kMissingMessage = "配置文件不存在，恢复默认配置！";

void putProfile(ControlSurface& window, const ConnProfile& p) {
    window.setText(Control::txtConnName, p.txtConnName);
    window.setText(Control::txtpeer, p.txtpeer);
    window.setText(Control::txtpeermask, p.txtpeermask);
    window.setText(Control::txtlocal, p.txtlocal);
    window.setText(Control::txtpreshare, p.txtpreshare);
    window.setText(Control::comalg, p.comalg);
    window.setText(Control::txtServerAddress, p.txtServerAddress);
    window.setText(Control::txtUserName, p.txtUserName);
    window.setText(Control::txtPasswd, p.txtPasswd);
    window.setValue(Control::Check1, p.Check1);
    window.setValue(Control::Check2, p.Check2);
    window.setValue(Control::Check3, p.Check3);
    window.setValue(Control::Option1, p.Option1);
    window.setValue(Control::checkHD, p.checkHD);
    window.setText(Control::txtpeer2, p.txtpeer2);
    window.setText(Control::txtpeermask2, p.txtpeermask2);
    window.setText(Control::txtHD, p.txtHD);
    window.setValue(Control::Check4, p.Check4);
}

void expectStoredFieldsEqual(const ConnProfile& a, const ConnProfile& b) {
    EXPECT_EQ(a.txtConnName, b.txtConnName);
    EXPECT_EQ(a.txtpeer, b.txtpeer);
    EXPECT_EQ(a.txtpeermask, b.txtpeermask);
    EXPECT_EQ(a.txtlocal, b.txtlocal);
    EXPECT_EQ(a.txtpreshare, b.txtpreshare);
    EXPECT_EQ(a.comalg, b.comalg);
    EXPECT_EQ(a.txtServerAddress, b.txtServerAddress);
    EXPECT_EQ(a.txtUserName, b.txtUserName);
    EXPECT_EQ(a.txtPasswd, b.txtPasswd);
    EXPECT_EQ(a.Check1, b.Check1);
    EXPECT_EQ(a.Check2, b.Check2);
    EXPECT_EQ(a.Check3, b.Check3);
    EXPECT_EQ(a.Option1, b.Option1);
    EXPECT_EQ(a.checkHD, b.checkHD);
    EXPECT_EQ(a.txtpeer2, b.txtpeer2);
    EXPECT_EQ(a.txtpeermask2, b.txtpeermask2);
}

class SettingsFileTest : public ::testing::Test {
protected:
    // The reactions record which box's handler ran, in order.
    CheckBoxReactions recording() {
        return {[this] { clicks.push_back("Check1"); }, [this] { clicks.push_back("Check2"); },
                [this] { clicks.push_back("Check3"); }, [this] { clicks.push_back("checkHD"); }};
    }

    void load() { settings.readConfig(recording()); }
    void loadFrom(const std::string& bytes) {
        files.files[kPath] = bytes;
        load();
    }

    testing::FakeControlSurface window;
    testing::FakeShellFolders shell{std::string("C:\\Documents and Settings\\user\\My Documents")};
    testing::FakeTextFiles files;
    testing::FakeAnsiCodec codec;
    testing::MemoryLog log;
    SettingsFile settings{window, shell, files, codec, log.log};
    std::vector<std::string> clicks;
};

TEST_F(SettingsFileTest, savesTheExactBytes) {
    putProfile(window, testing::settingsSample());
    settings.writeConfig();
    EXPECT_EQ(files.files[kPath], testing::kSampleSettingsFile);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SettingsFileTest, replacesALongerFileWhole) {
    files.files[kPath] = testing::kSampleSettingsFile + std::string(5000, 'x') + "\r\n";
    putProfile(window, testing::settingsSample());
    settings.writeConfig();
    EXPECT_EQ(files.files[kPath], testing::kSampleSettingsFile);
}

TEST_F(SettingsFileTest, keepsTheFileInTheUsersOwnFolderWhateverDriveTheDocumentsAreOn) {
    testing::FakeShellFolders otherDrive{std::string("D:\\Users\\user\\Documents")};
    otherDrive.localData = "E:\\Profiles\\user\\AppData\\Local\\Velmora";
    SettingsFile onE{window, otherDrive, files, codec, log.log};
    onE.writeConfig();
    EXPECT_EQ(files.files.count("E:\\Profiles\\user\\AppData\\Local\\Velmora\\l2tpipsec.ini"), 1u);
    EXPECT_EQ(files.files.count("D:\\l2tpipsec.ini"), 0u);
}

TEST_F(SettingsFileTest, anUnsavableSecretIsStoredEmptyAndReportedOnce) {
    ConnProfile typed = testing::settingsSample();
    typed.txtPasswd = "密码abc";
    putProfile(window, typed);
    settings.writeConfig();

    std::string expected = testing::kSampleSettingsFile;
    expected.replace(expected.find("RRxRqR\r\n"), 6, "");
    EXPECT_EQ(files.files[kPath], expected);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_NE(window.messages[0].find("VPN密码"), std::string::npos);
    EXPECT_EQ(window.messages[0].find("预共享的密钥"), std::string::npos);
    // The Connect that saved goes on with the secret as typed.
    EXPECT_EQ(window.text(Control::txtPasswd), "密码abc");
}

TEST_F(SettingsFileTest, twoUnsavableSecretsGiveOneMessageNamingBothAndWhy) {
    ConnProfile typed = testing::settingsSample();
    typed.txtpreshare = "共享密钥123";
    typed.txtPasswd = std::string(130, '~');
    putProfile(window, typed);
    settings.writeConfig();
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "预共享的密钥含有配置文件不能保存的字符（如汉字），VPN密码超出了配置文件能保存的长度，"
                                  "都没有保存；本次连接仍使用输入的内容，下次启动后需要重新输入。");
    EXPECT_EQ(window.text(Control::txtpreshare), typed.txtpreshare);

    load();
    EXPECT_EQ(window.text(Control::txtpreshare), "");
    EXPECT_EQ(window.text(Control::txtPasswd), "");
}

TEST_F(SettingsFileTest, aFileThatCannotBeWrittenIsReportedOnce) {
    files.unwritable.insert(kPath);
    ConnProfile typed = testing::settingsSample();
    typed.txtPasswd = "密码";
    putProfile(window, typed);
    settings.writeConfig();
    EXPECT_EQ(window.messages, std::vector<std::string>{"无法写入配置文件 " + kPath + "，本次设置没有保存！"});
    EXPECT_EQ(files.files.count(kPath), 0u);

    settings.writeConfig();  // the next Connect: nothing new to tell
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(log.file.lines, std::vector<std::string>{testing::kLogTime + "无法写入配置文件 " + kPath});
}

TEST_F(SettingsFileTest, eachUnsavableSecretIsToldOnceARun) {
    ConnProfile typed = testing::settingsSample();
    typed.txtPasswd = "密码";
    putProfile(window, typed);
    settings.writeConfig();
    settings.writeConfig();
    ASSERT_EQ(window.messages.size(), 1u);

    typed.txtpreshare = "预共享";  // a second cause: told, naming only what is new
    putProfile(window, typed);
    settings.writeConfig();
    settings.writeConfig();
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[1], "预共享的密钥含有配置文件不能保存的字符（如汉字），没有保存；"
                                  "本次连接仍使用输入的内容，下次启动后需要重新输入。");
}

TEST_F(SettingsFileTest, roundTripsEveryStoredField) {
    ConnProfile saved = testing::settingsSample();
    saved.txtConnName = "公司 VPN";
    saved.txtpeer = "10.0.0.0";
    saved.txtlocal = "10.10.10.4";
    saved.txtUserName = "张三";
    saved.txtpreshare = "a key with spaces";
    saved.txtPasswd = "p@ss w0rd €";
    saved.Check3 = kChecked;
    saved.checkHD = kUnchecked;
    putProfile(window, saved);
    settings.writeConfig();

    testing::FakeControlSurface fresh;
    SettingsFile loader{fresh, shell, files, codec, log.log};
    loader.readConfig({});
    expectStoredFieldsEqual(readProfile(fresh), saved);
    EXPECT_TRUE(fresh.messages.empty());
}

TEST_F(SettingsFileTest, roundTripsTheLongestSecretsItCarries) {
    ConnProfile saved = testing::settingsSample();
    saved.txtpreshare.clear();
    for (std::size_t i = 0; i < 128; ++i) {
        saved.txtpreshare += static_cast<char>('!' + i % 94);
    }
    saved.txtPasswd = std::string(129, '~');
    putProfile(window, saved);
    settings.writeConfig();
    ASSERT_TRUE(window.messages.empty());

    testing::FakeControlSurface fresh;
    SettingsFile{fresh, shell, files, codec, log.log}.readConfig({});
    EXPECT_EQ(fresh.text(Control::txtpreshare), saved.txtpreshare);
    EXPECT_EQ(fresh.text(Control::txtPasswd), saved.txtPasswd);
}

TEST_F(SettingsFileTest, aMissingFileIsReportedAndEveryFieldFallsBack) {
    putProfile(window, testing::settingsSample());
    load();
    EXPECT_EQ(window.messages, std::vector<std::string>{kMissingMessage});
    expectStoredFieldsEqual(readProfile(window), fallbackProfile());
    EXPECT_EQ(files.files.count(kPath), 0u);  // not created
    EXPECT_EQ(files.writes, 0);
    // The unstored fields keep what they held.
    EXPECT_EQ(window.text(Control::txtHD), "4F2A");
    EXPECT_EQ(window.value(Control::Check4), kChecked);
}

TEST_F(SettingsFileTest, anEmptyFileFallsBackSilently) {
    loadFrom("");
    EXPECT_TRUE(window.messages.empty());
    expectStoredFieldsEqual(readProfile(window), fallbackProfile());
}

TEST_F(SettingsFileTest, aShortFileFallsBackForTheMissingLines) {
    loadFrom("office\r\n10.1.0.0\r\n255.255.255.128");
    const ConnProfile p = readProfile(window);
    EXPECT_EQ(p.txtConnName, "office");
    EXPECT_EQ(p.txtpeer, "10.1.0.0");
    EXPECT_EQ(p.txtpeermask, "255.255.255.128");
    EXPECT_EQ(p.txtlocal, "1.1.1.1");
    EXPECT_EQ(p.txtServerAddress, "0.0.0.0");
    EXPECT_EQ(p.Option1, kProtocolPptp);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SettingsFileTest, linesAfterTheSixteenthAreIgnored) {
    loadFrom(testing::kSampleSettingsFile + "extra\r\n\r\nyes\r\n");
    ConnProfile expected = testing::settingsSample();
    expected.txtConnName = "corvinaltexum";
    expected.txtpeer = "10.0.0.0";
    expected.txtlocal = "10.10.10.4";
    expected.txtpreshare = "key123";
    expected.txtUserName = "张三";
    expected.Check3 = kUnchecked;
    expectStoredFieldsEqual(readProfile(window), expected);
}

TEST_F(SettingsFileTest, readsLinesEndedByLoneCrOrLf) {
    std::string crOnly = testing::kSampleSettingsFile;
    std::string lfOnly = testing::kSampleSettingsFile;
    for (std::size_t at; (at = crOnly.find("\r\n")) != std::string::npos;) {
        crOnly.erase(at + 1, 1);
    }
    for (std::size_t at; (at = lfOnly.find("\r\n")) != std::string::npos;) {
        lfOnly.erase(at, 1);
    }
    loadFrom(testing::kSampleSettingsFile);
    const ConnProfile crLf = readProfile(window);
    for (const std::string& bytes : {crOnly, lfOnly}) {
        testing::FakeControlSurface other;
        files.files[kPath] = bytes;
        SettingsFile{other, shell, files, codec, log.log}.readConfig({});
        expectStoredFieldsEqual(readProfile(other), crLf);
    }
    EXPECT_EQ(crLf.txtPasswd, "abc");
    EXPECT_EQ(crLf.txtpeermask2, "255.255.0.0");
}

TEST_F(SettingsFileTest, aFileThatCannotBeReadIsReportedAndTheWindowKeepsItsValues) {
    files.files[kPath] = testing::kSampleSettingsFile;
    files.unreadable.insert(kPath);
    const ConnProfile before = readProfile(window);
    load();
    EXPECT_EQ(window.messages, std::vector<std::string>{"无法读取配置文件 " + kPath + "，保留当前设置！"});
    expectStoredFieldsEqual(readProfile(window), before);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(SettingsFileTest, aChangedBoxRunsItsReactionInLineOrder) {
    loadFrom(testing::kSampleSettingsFile);  // Check1 yes, Check2 no, Check3 no, checkHD yes
    EXPECT_EQ(clicks, (std::vector<std::string>{"Check1", "checkHD"}));

    clicks.clear();
    std::string allYes = testing::kSampleSettingsFile;
    allYes.replace(allYes.find("yes\r\nno\r\nno\r\n"), 13, "yes\r\nyes\r\nyes\r\n");
    testing::FakeControlSurface fresh;
    files.files[kPath] = allYes;
    SettingsFile{fresh, shell, files, codec, log.log}.readConfig(recording());
    EXPECT_EQ(clicks, (std::vector<std::string>{"Check1", "Check2", "Check3", "checkHD"}));
}

TEST_F(SettingsFileTest, anUnchangedBoxRunsNothing) {
    window.setValue(Control::Check1, kChecked);
    window.setValue(Control::checkHD, kChecked);
    loadFrom(testing::kSampleSettingsFile);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(SettingsFileTest, aBoxLoadedOffFromOnOrGreyedRunsItsReaction) {
    window.setValue(Control::Check2, kChecked);
    window.setValue(Control::Check3, kGreyed);
    window.setValue(Control::Check1, kChecked);
    window.setValue(Control::checkHD, kChecked);
    loadFrom(testing::kSampleSettingsFile);
    EXPECT_EQ(clicks, (std::vector<std::string>{"Check2", "Check3"}));
    EXPECT_EQ(window.value(Control::Check3), kUnchecked);
}

TEST_F(SettingsFileTest, aReactionSeesTheFieldsLoadedBeforeIt) {
    std::string nameSeen;
    int check2Seen = -1;
    CheckBoxReactions reactions;
    reactions.Check1_Click = [&] { nameSeen = window.text(Control::txtConnName); };
    reactions.checkHD_Click = [&] { check2Seen = window.visible(Control::Check2) ? 1 : 0; };
    std::string named = testing::kSampleSettingsFile;
    named.replace(0, 13, "office");
    files.files[kPath] = named;
    settings.readConfig(reactions);
    EXPECT_EQ(nameSeen, "office");
    EXPECT_EQ(check2Seen, 0);  // hidden after line 11, since Check1 is on
}

TEST_F(SettingsFileTest, check2IsShownOnlyWhileCheck1IsOff) {
    loadFrom(testing::kSampleSettingsFile);
    EXPECT_FALSE(window.visible(Control::Check2));

    std::string ipsecOff = testing::kSampleSettingsFile;
    ipsecOff.replace(ipsecOff.find("RRxRqR\r\nyes"), 11, "RRxRqR\r\nno");
    files.files[kPath] = ipsecOff;
    load();
    EXPECT_TRUE(window.visible(Control::Check2));
}

// Before it is read, the file is closed to the computer's other users; one that is not the
// user's to keep private (another user's, or one that cannot be closed) is not read at all.
TEST_F(SettingsFileTest, theFileIsClosedToOthersBeforeItIsReadAndReadOnlyWhenItIsTheUsersOwn) {
    struct Row {
        const char* what;
        bool open;
        bool closable;
        bool permissions;
        const char* logged;  // after the time, before the path; empty: nothing
        bool read;
    };
    const Row rows[] = {
        {"closed already", false, true, true, "", true},
        {"open to others", true, true, true, "其他用户可以读取或更改配置文件，已改为只有本用户、管理员和系统可以访问：", true},
        {"another user's", true, false, true, "配置文件属于其他用户或无法改为只有本用户、管理员和系统可以访问，没有读取：",
         false},
        {"on FAT32", true, true, false, "配置文件所在的文件系统不保存权限，本机所有用户都能读取和更改：", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        log.file.lines.clear();
        files.open.clear();
        files.unwritable.clear();
        if (row.open) {
            files.open.insert(kPath);
        }
        if (!row.closable) {
            files.unwritable.insert(kPath);
        }
        files.permissions = row.permissions;
        window.setText(Control::txtServerAddress, "");
        loadFrom(testing::kSampleSettingsFile);
        const std::vector<std::string> expected =
            *row.logged ? std::vector<std::string>{testing::kLogTime + row.logged + kPath} : std::vector<std::string>{};
        EXPECT_EQ(std::vector<std::string>(log.file.lines.begin(), log.file.lines.begin() + expected.size()),
                  expected);
        EXPECT_EQ(window.text(Control::txtServerAddress), row.read ? "vpn.example.com" : "0.0.0.0");
    }
}

}  // namespace
}  // namespace velmora
