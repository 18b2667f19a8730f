// velmora.msi's tables as Windows Installer reads them: what it installs, the service as its own
// program registers it and what the uninstall removes of what it wrote, an action sequence that
// allows a major upgrade, the upgrade and downgrade rows, the refusals, the properties that keep a
// silent installation from restarting and the key out of the log, the administrator's profile
// passed whole to the action that stores it, and what Add/Remove Programs and the package's
// summary tell. The rest is seen installing, end to end.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/settings/administrator_profile.h"
#include "platform/win32/text_codec.h"
#include "service/service_registration.h"

namespace velmora {
namespace {

using Row = std::vector<std::string>;

class MsiTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(MsiOpenDatabaseW(widen(VELMORA_MSI).c_str(), MSIDBOPEN_READONLY, &database_), ERROR_SUCCESS);
    }
    void TearDown() override { MsiCloseHandle(database_); }

    // Every row the query gives, each field as text (numbers as decimals, empty for null).
    std::vector<Row> rows(const std::string& query) {
        std::vector<Row> result;
        MSIHANDLE view = 0;
        EXPECT_EQ(MsiDatabaseOpenViewW(database_, widen(query).c_str(), &view), ERROR_SUCCESS) << query;
        EXPECT_EQ(MsiViewExecute(view, 0), ERROR_SUCCESS) << query;
        MSIHANDLE record = 0;
        while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            Row row;
            for (UINT field = 1; field <= MsiRecordGetFieldCount(record); ++field) {
                wchar_t text[1024] = {};
                DWORD size = 1024;
                MsiRecordGetStringW(record, field, text, &size);
                row.push_back(narrow(text));
            }
            result.push_back(row);
            MsiCloseHandle(record);
        }
        MsiCloseHandle(view);
        return result;
    }

    std::map<std::string, std::string> properties() {
        std::map<std::string, std::string> found;
        for (const Row& row : rows("SELECT `Property`, `Value` FROM `Property`")) {
            found[row[0]] = row[1];
        }
        return found;
    }

    // Action name to sequence number, and to condition.
    std::map<std::string, int> sequence(std::map<std::string, std::string>* conditions = nullptr) {
        std::map<std::string, int> found;
        for (const Row& row : rows("SELECT `Action`, `Condition`, `Sequence` FROM `InstallExecuteSequence`")) {
            found[row[0]] = std::stoi(row[2]);
            if (conditions != nullptr) {
                (*conditions)[row[0]] = row[1];
            }
        }
        return found;
    }

private:
    MSIHANDLE database_ = 0;
};

TEST_F(MsiTables, installExactlyTheFilesOfTheSetupIntoItsFolder) {
    std::set<std::string> files;
    for (const Row& row : rows("SELECT `File`.`FileName`, `Component`.`Directory_` FROM `File`, `Component` "
                               "WHERE `File`.`Component_` = `Component`.`Component`")) {
        files.insert(row[0]);
        EXPECT_EQ(row[1], "INSTALLDIR") << row[0];
    }
    EXPECT_EQ(files,
              (std::set<std::string>{"velmora.exe", "velmora-service.exe", "velmora-ipsec.exe", "defaultgate.pbk"}));
    EXPECT_EQ(properties().at("ALLUSERS"), "1") << "per machine";
}

TEST_F(MsiTables, replaceAnOlderVersionAndRefuseOverANewerOne) {
    const std::string upgradeCode = "{" VELMORA_UPGRADE_CODE "}";
    const auto p = properties();
    EXPECT_EQ(p.at("UpgradeCode"), upgradeCode);
    const std::string version = VELMORA_VERSION;
    // Older versions are found to be removed (the attributes lack "only detect", 2); newer ones
    // only found, which the launch condition turns into a refusal.
    const auto upgrades = rows("SELECT `UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty` FROM `Upgrade`");
    EXPECT_EQ(std::set<Row>(upgrades.begin(), upgrades.end()),
              (std::set<Row>{{upgradeCode, "", version, "1", "WIX_UPGRADE_DETECTED"},
                             {upgradeCode, version, "", "2", "WIX_DOWNGRADE_DETECTED"}}));
    // Refused: a first installation over a newer version (an installed older one is not: a newer
    // one removes it), over velmora-setup.exe's installation, whose uninstaller it names, and for
    // one user alone.
    std::map<std::string, std::string> refusals;
    for (const Row& row : rows("SELECT `Condition`, `Description` FROM `LaunchCondition`")) {
        refusals[row[0]] = row[1];
    }
    ASSERT_EQ(refusals.size(), 3u);
    EXPECT_NE(refusals["Installed OR NOT WIX_DOWNGRADE_DETECTED"].find("newer version of Velmora VPN"),
              std::string::npos);
    EXPECT_NE(refusals["Installed OR NOT SETUPUNINSTALLER"].find("velmora-setup.exe"), std::string::npos);
    EXPECT_NE(refusals["Installed OR NOT SETUPUNINSTALLER"].find("[SETUPUNINSTALLER] /S"), std::string::npos);
    EXPECT_NE(refusals["ALLUSERS = 1"].find("every user"), std::string::npos);
    // Where velmora-setup.exe keeps its uninstall entry (HKEY_LOCAL_MACHINE, 2; a value, 2).
    EXPECT_EQ(rows("SELECT `AppSearch`.`Property`, `RegLocator`.`Root`, `RegLocator`.`Key`, `RegLocator`.`Name`, "
                   "`RegLocator`.`Type` FROM `AppSearch`, `RegLocator` WHERE `AppSearch`.`Signature_` = "
                   "`RegLocator`.`Signature_` AND `AppSearch`.`Property` = 'SETUPUNINSTALLER'"),
              (std::vector<Row>{{"SETUPUNINSTALLER", "2",
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora",
                                 "UninstallString", "2"}}));
    // Found also when an administrator's account is not the one installing (managed deployment).
    EXPECT_NE(p.at("SecureCustomProperties").find("WIX_UPGRADE_DETECTED"), std::string::npos);
    EXPECT_NE(p.at("SecureCustomProperties").find("WIX_DOWNGRADE_DETECTED"), std::string::npos);
}

TEST_F(MsiTables, theActionSequenceIsValidForAnUpgrade) {
    std::map<std::string, std::string> conditions;
    const auto at = sequence(&conditions);
    for (const char* action : {"FindRelatedProducts", "AppSearch", "LaunchConditions", "InstallValidate",
                               "RemoveExistingProducts", "InstallInitialize", "InstallFiles", "InstallFinalize",
                               "ScheduleReboot"}) {
        ASSERT_EQ(at.count(action), 1u) << action;
    }
    // Older versions are found before the launch conditions refuse a downgrade, and the switch
    // is read (AppSearch) before anything changes it.
    EXPECT_LT(at.at("FindRelatedProducts"), at.at("LaunchConditions"));
    EXPECT_LT(at.at("AppSearch"), at.at("InstallInitialize"));
    // Once this version is wholly installed, so that an upgrade that fails leaves the older one.
    EXPECT_GT(at.at("RemoveExistingProducts"), at.at("InstallFinalize"));
    EXPECT_GT(at.at("ScheduleReboot"), at.at("InstallFinalize"));
    // An earlier profile is read before anything changes it, once the given one is found usable.
    EXPECT_GT(at.at("CheckAdministratorProfile"), at.at("AppSearch"));
    EXPECT_LT(at.at("CheckAdministratorProfile"), at.at("KeepAdministratorProfile"));
    EXPECT_LT(at.at("KeepAdministratorProfile"), at.at("PrepareAdministratorProfile"));
    EXPECT_LT(at.at("PrepareAdministratorProfile"), at.at("InstallInitialize"));
    // Another version still installed is looked for before the uninstall's actions are scheduled.
    EXPECT_GT(at.at("FindOtherVersion"), at.at("InstallValidate"));
    EXPECT_LT(at.at("FindOtherVersion"), at.at("InstallInitialize"));
    EXPECT_EQ(conditions.at("FindOtherVersion"), "REMOVE=\"ALL\"");

    // Deferred actions (in-script, 0x400) run inside the script, as the system (no impersonation,
    // 0x800, which only they may carry); the uninstall of a version that another replaces gives
    // nothing back.
    int deferred = 0;
    for (const Row& row : rows("SELECT `Action`, `Type` FROM `CustomAction`")) {
        const int type = std::stoi(row[1]);
        SCOPED_TRACE(row[0]);
        if ((type & 0x400) == 0) {
            EXPECT_EQ(type & 0x800, 0);
            continue;
        }
        ++deferred;
        ASSERT_EQ(at.count(row[0]), 1u);
        EXPECT_GT(at.at(row[0]), at.at("InstallInitialize"));
        EXPECT_LT(at.at(row[0]), at.at("InstallFinalize"));
        EXPECT_NE(type & 0x800, 0);
        if (row[0].find("Restore") == 0 || row[0].find("Remove") == 0) {
            EXPECT_EQ(conditions.at(row[0]), "REMOVE=\"ALL\" AND NOT UPGRADINGPRODUCTCODE AND NOT OTHERVERSION");
        }
    }
    EXPECT_EQ(deferred, 9);
    // A failed installation puts back the profile as it was, and the switch only when this
    // installation recorded it.
    EXPECT_EQ(rows("SELECT `Action`, `Type`, `Target` FROM `CustomAction` WHERE `Type` = 3393"),
              (std::vector<Row>{{"RollbackL2tpSwitch", "3393", "RestoreL2tpSwitch"},
                                {"RollbackAdministratorProfile", "3393", "RestoreAdministratorProfile"}}))
        << "rollback actions (0x100) in the script (0x400)";
    EXPECT_EQ(conditions.at("RollbackL2tpSwitch"), "NOT Installed AND NOT SWITCHRECORDED");
    EXPECT_EQ(conditions.at("RollbackAdministratorProfile"), "NOT Installed");
    // What a failed installation undoes is scheduled before it is done (rollback, 0x100).
    EXPECT_LT(at.at("RollbackL2tpSwitch"), at.at("SetL2tpSwitch"));
    EXPECT_LT(at.at("RollbackAdministratorProfile"), at.at("WriteAdministratorProfile"));
    EXPECT_LT(at.at("SetL2tpSwitch"), at.at("InstallFinalize"));
    EXPECT_GT(at.at("SetL2tpSwitch"), at.at("InstallFiles"));
}

TEST_F(MsiTables, theServiceIsRegisteredAsItsProgramRegistersItselfAndStoppedBeforeItsFileIsReplaced) {
    const auto component = rows("SELECT `Component_` FROM `File` WHERE `FileName` = 'velmora-service.exe'");
    ASSERT_EQ(component.size(), 1u);
    const ServiceRegistration registration;
    const auto installed = rows("SELECT `Name`, `DisplayName`, `ServiceType`, `StartType`, `ErrorControl`, `StartName`, "
                                "`Password`, `Arguments`, `Component_`, `Description` FROM `ServiceInstall`");
    // A service that cannot be installed fails the installation (vital, 0x8000).
    EXPECT_EQ(installed,
              (std::vector<Row>{{narrow(registration.name), narrow(registration.displayName),
                                 std::to_string(registration.type), std::to_string(registration.start),
                                 std::to_string(0x8000 | registration.errorControl),
                                 narrow(registration.account), "", "", component[0][0],
                                 narrow(registration.description)}}));
    // Started on installation (1); stopped on installation (2), so that an upgrade or a repair
    // replaces a file not in use, and on removal (0x20); removed on removal (0x80); waited for.
    EXPECT_EQ(rows("SELECT `Name`, `Event`, `Arguments`, `Wait`, `Component_` FROM `ServiceControl`"),
              (std::vector<Row>{{narrow(registration.name), std::to_string(0x1 | 0x2 | 0x20 | 0x80), "", "1",
                                 component[0][0]}}));

    std::map<std::string, std::string> conditions;
    const auto at = sequence(&conditions);
    for (const char* action : {"StopServices", "DeleteServices", "InstallServices", "StartServices"}) {
        ASSERT_EQ(at.count(action), 1u) << action;
        EXPECT_GT(at.at(action), at.at("InstallInitialize")) << action;
        EXPECT_LT(at.at(action), at.at("InstallFinalize")) << action;
    }
    EXPECT_LT(at.at("StopServices"), at.at("DeleteServices"));
    EXPECT_LT(at.at("DeleteServices"), at.at("RemoveFiles"));
    EXPECT_LT(at.at("InstallFiles"), at.at("InstallServices"));
    // Its time at Windows' end once it is registered, before it starts.
    EXPECT_GT(at.at("SetServicePreShutdown"), at.at("InstallServices"));
    EXPECT_LT(at.at("SetServicePreShutdown"), at.at("StartServices"));
    EXPECT_EQ(conditions.at("SetServicePreShutdown"), "NOT REMOVE=\"ALL\"");
    EXPECT_EQ(rows("SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'SetServicePreShutdown'"),
              (std::vector<Row>{{"3073", "VelmoraActions", "SetServicePreShutdown"}}));
}

TEST_F(MsiTables, theUninstallRemovesWhatTheServiceWroteBesideItsProgram) {
    const auto removed = rows("SELECT `FileName`, `DirProperty`, `InstallMode`, `Component_` FROM `RemoveFile`");
    // On removal (2), with the service's component; a row without a name removes the emptied folder.
    EXPECT_EQ(std::set<Row>(removed.begin(), removed.end()),
              (std::set<Row>{{"ipsec.pbk", "INSTALLDIR", "2", "Service"},
                             {"pptp.pbk", "INSTALLDIR", "2", "Service"},
                             {"velmora-service.log", "LOGS", "2", "Service"},
                             {"velmora-service.log.1", "LOGS", "2", "Service"},
                             {"", "LOGS", "2", "Service"}}));
    EXPECT_EQ(rows("SELECT `Directory_Parent`, `DefaultDir` FROM `Directory` WHERE `Directory` = 'LOGS'"),
              (std::vector<Row>{{"INSTALLDIR", "logs"}}));
    EXPECT_EQ(rows("SELECT `Component_` FROM `File` WHERE `FileName` = 'velmora-service.exe'"),
              (std::vector<Row>{{"Service"}}));
}

TEST_F(MsiTables, theInstallFolderGetsItsRightsBeforeAnyFileIsCopiedIntoIt) {
    std::map<std::string, std::string> conditions;
    const auto at = sequence(&conditions);
    // Handed the folder as the deferred action's data (a property set, 51, at once: not in the
    // script, 0x400), once the folder is known.
    const auto prepared =
        rows("SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'PrepareSecureInstallFolder'");
    ASSERT_EQ(prepared.size(), 1u);
    EXPECT_EQ(std::stoi(prepared[0][0]) & 0x43F, 51);
    EXPECT_EQ(prepared[0][1], "SecureInstallFolder");
    EXPECT_EQ(prepared[0][2], "[INSTALLDIR]");
    EXPECT_GT(at.at("PrepareSecureInstallFolder"), at.at("CostFinalize"));
    // As the system, and a failure fails the installation (no 0x40).
    EXPECT_EQ(rows("SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'SecureInstallFolder'"),
              (std::vector<Row>{{"3073", "VelmoraActions", "SecureInstallFolder"}}));
    EXPECT_GT(at.at("SecureInstallFolder"), at.at("InstallInitialize"));
    EXPECT_LT(at.at("SecureInstallFolder"), at.at("InstallFiles"));
    for (const char* action : {"PrepareSecureInstallFolder", "SecureInstallFolder"}) {
        EXPECT_EQ(conditions.at(action), "NOT REMOVE=\"ALL\"") << action << ": an installation, an upgrade or a repair";
    }
}

TEST_F(MsiTables, everySettingTheProgramReadsIsASecurePropertyHandedToTheProfileAndKeptOutOfTheLog) {
    const auto p = properties();
    EXPECT_EQ(p.at("REBOOT"), "ReallySuppress") << "a silent installation never restarts";
    // The key, also inside the data handed to the deferred action that stores it.
    EXPECT_EQ(p.at("MsiHiddenProperties"), "PSK;WriteAdministratorProfile;RollbackAdministratorProfile");
    const auto prepared = rows("SELECT `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'PrepareAdministratorProfile'");
    ASSERT_EQ(prepared.size(), 1u);
    EXPECT_EQ(prepared[0][0], "WriteAdministratorProfile");
    std::string expected;
    for (const char* name : kAdministratorSettings) {
        expected += (expected.empty() ? "" : "\n") + std::string(name) + "=[" + name + "]";
    }
    EXPECT_EQ(prepared[0][1], expected);
    // Handed over also when the installation runs elevated for a user who is not an administrator;
    // checked, and written, by a first installation or an upgrade alone, never by a repair.
    const std::string secure = ";" + p.at("SecureCustomProperties") + ";";
    for (const char* name : kAdministratorSettings) {
        EXPECT_NE(secure.find(";" + std::string(name) + ";"), std::string::npos) << name;
    }
    std::map<std::string, std::string> conditions;
    sequence(&conditions);
    for (const char* action : {"CheckAdministratorProfile", "KeepAdministratorProfile", "PrepareAdministratorProfile",
                               "WriteAdministratorProfile"}) {
        EXPECT_EQ(conditions.at(action), "NOT Installed") << action;
    }
    EXPECT_EQ(rows("SELECT `Type` FROM `CustomAction` WHERE `Action` = 'CheckAdministratorProfile'"),
              (std::vector<Row>{{"1"}}))
        << "its failure fails the installation (no 0x40)";
}

TEST_F(MsiTables, addRemoveProgramsAndThePackagesSummaryTellWhatAnAdministratorLooksFor) {
    const auto p = properties();
    EXPECT_EQ(p.at("ARPHELPLINK"), VELMORA_HELP_URL);
    EXPECT_EQ(p.at("ARPCONTACT"), VELMORA_CONTACT);
    EXPECT_EQ(rows("SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'SetInstallLocation'"),
              (std::vector<Row>{{"51", "ARPINSTALLLOCATION", "[INSTALLDIR]"}}));
    const auto at = sequence();
    EXPECT_GT(at.at("SetInstallLocation"), at.at("CostFinalize"));
    EXPECT_LT(at.at("SetInstallLocation"), at.at("InstallFinalize"));

    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationW(0, widen(VELMORA_MSI).c_str(), 0, &summary), static_cast<UINT>(ERROR_SUCCESS));
    const auto text = [&](UINT id) {
        wchar_t value[256] = {};
        DWORD size = 256;
        UINT type = 0;
        INT number = 0;
        FILETIME time{};
        MsiSummaryInfoGetPropertyW(summary, id, &type, &number, &time, value, &size);
        return narrow(value);
    };
    EXPECT_EQ(text(7), "Intel;2052") << "the platform and the package's language, Simplified Chinese";
    EXPECT_EQ(text(3), "Velmora VPN " VELMORA_VERSION);
    MsiCloseHandle(summary);
}

}  // namespace
}  // namespace velmora
