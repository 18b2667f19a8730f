// velmora-msi.dll's actions on the administrator's profile, called as Windows Installer calls them,
// with a session of velmora.msi: the check that refuses what the program could not use, the write
// that stores, keeps and clears values and refuses data it did not make, the rollback that puts
// the profile back as it was, and what the actions tell the installer's log.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/administrator_profile.h"
#include "platform/win32/text_codec.h"

namespace velmora {
namespace {

using Action = UINT(WINAPI*)(MSIHANDLE);
constexpr const wchar_t* kProfileKey = L"Software\\Velmora\\VPN";

std::optional<std::wstring> stored(const wchar_t* name) {
    wchar_t value[256] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kProfileKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

bool profileKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// The data the package hands the write: every setting, in order, as the properties hold them.
std::wstring handedOver(const std::map<std::string, std::wstring>& given) {
    std::wstring data;
    for (const char* setting : kAdministratorSettings) {
        const auto value = given.find(setting);
        data += (data.empty() ? L"" : L"\n") + widen(setting) + L"=" + (value == given.end() ? L"" : value->second);
    }
    return data;
}

// What the actions told the installer: its log's informations and the errors it would show.
std::vector<std::string> told;

INT CALLBACK tell(LPVOID, UINT, LPCWSTR message) {
    told.push_back(narrow(message != nullptr ? message : L""));
    return IDOK;
}

class MsiProfileActions : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey);
        told.clear();
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiSetExternalUIW(tell, INSTALLLOGMODE_INFO | INSTALLLOGMODE_ERROR, nullptr);
        ASSERT_EQ(MsiOpenPackageW(widen(VELMORA_MSI).c_str(), &session_), static_cast<UINT>(ERROR_SUCCESS));
        actions_ = LoadLibraryW((widen(VELMORA_PROGRAMS_DIR) + L"\\velmora-msi.dll").c_str());
        ASSERT_NE(actions_, nullptr);
    }
    void TearDown() override {
        MsiSetExternalUIW(nullptr, 0, nullptr);
        MsiCloseHandle(session_);
        FreeLibrary(actions_);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProfileKey);
    }

    UINT run(const char* action, const std::map<std::wstring, std::wstring>& properties = {}) {
        for (const auto& property : properties) {
            MsiSetPropertyW(session_, property.first.c_str(), property.second.c_str());
        }
        const auto entry = reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(actions_, action)));
        return entry != nullptr ? entry(session_) : ERROR_PROC_NOT_FOUND;
    }

    MSIHANDLE session_ = 0;
    HMODULE actions_ = nullptr;
};

TEST_F(MsiProfileActions, theCheckRefusesWhatTheProgramCouldNotUseAndValuesHoldingALineBreak) {
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        bool refused;
    };
    const Case cases[] = {
        {L"SERVER", L"vpn.example.com", false},
        {L"SERVER", L"-", false},
        {L"SERVER", L"vpn.example.com\nPSK=planted", true},
        {L"PSK", L"Zq8preshared\r", true},
        {L"PSK", L"Zq8preshared", false},
        {L"AUTODIAL", L"yes", true},
        {L"AUTODIAL", L"1", false},
        {L"SUITE", L"AES256", true},
        {L"PROTOCOL", L"pptp", false},
        {L"REMOTENET1", L"10.8.0.0", true},
        {L"REMOTENET2", L"-", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.name) + "=" + narrow(c.value));
        EXPECT_EQ(run("CheckAdministratorProfile", {{c.name, c.value}}),
                  static_cast<UINT>(c.refused ? ERROR_INSTALL_FAILURE : ERROR_SUCCESS));
        MsiSetPropertyW(session_, c.name, L"");
    }
    EXPECT_EQ(run("CheckAdministratorProfile"), static_cast<UINT>(ERROR_SUCCESS)) << "nothing given";
}

TEST_F(MsiProfileActions, theWriteStoresKeepsAndClearsValuesAndRefusesDataItDidNotMake) {
    ASSERT_EQ(run("WriteAdministratorProfile",
                  {{L"CustomActionData", handedOver({{"SERVER", L"vpn.example.com"}, {"PSK", L"Zq8preshared"},
                                                     {"AUTODIAL", L"1"}})}}),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(stored(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));
    EXPECT_EQ(stored(L"AUTODIAL"), std::optional<std::wstring>(L"1"));
    EXPECT_EQ(stored(L"SUITE"), std::nullopt) << "an empty property stores nothing";

    ASSERT_EQ(run("WriteAdministratorProfile",
                  {{L"CustomActionData", handedOver({{"PSK", L"NewKey42"}, {"AUTODIAL", L"-"}})}}),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(stored(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com")) << "kept";
    EXPECT_EQ(stored(L"PSK"), std::optional<std::wstring>(L"NewKey42"));
    EXPECT_EQ(stored(L"AUTODIAL"), std::nullopt) << "cleared";

    // A value that broke its line would have planted a setting of its own; any data not of the
    // package's own making is refused whole.
    for (const std::wstring& data : {handedOver({{"SERVER", L"evil.example.com\nPSK=planted"}}),
                                     std::wstring(L"PSK=planted"), std::wstring()}) {
        SCOPED_TRACE(narrow(data));
        EXPECT_EQ(run("WriteAdministratorProfile", {{L"CustomActionData", data}}),
                  static_cast<UINT>(ERROR_INSTALL_FAILURE));
        EXPECT_EQ(stored(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));
        EXPECT_EQ(stored(L"PSK"), std::optional<std::wstring>(L"NewKey42"));
    }
}

TEST_F(MsiProfileActions, theRollbackPutsBackTheProfileAsKeepFoundIt) {
    // No profile before: the rollback takes away the key the installation made.
    ASSERT_EQ(run("KeepAdministratorProfile"), static_cast<UINT>(ERROR_SUCCESS));
    wchar_t before[512] = {};
    DWORD size = 512;
    MsiGetPropertyW(session_, L"RollbackAdministratorProfile", before, &size);
    run("WriteAdministratorProfile", {{L"CustomActionData", handedOver({{"SERVER", L"new.example.com"}})}});
    ASSERT_TRUE(profileKeyExists());
    EXPECT_EQ(run("RestoreAdministratorProfile", {{L"CustomActionData", before}}), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_FALSE(profileKeyExists());

    // A profile before: its values come back, and what the installation added goes; Keep also
    // fills the properties not given anew from it.
    run("WriteAdministratorProfile",
        {{L"CustomActionData", handedOver({{"SERVER", L"vpn.example.com"}, {"PSK", L"Zq8preshared"}})}});
    MsiSetPropertyW(session_, L"SERVER", L"");
    MsiSetPropertyW(session_, L"PSK", L"NewKey42");
    ASSERT_EQ(run("KeepAdministratorProfile"), static_cast<UINT>(ERROR_SUCCESS));
    wchar_t server[64] = {};
    size = 64;
    MsiGetPropertyW(session_, L"SERVER", server, &size);
    EXPECT_EQ(std::wstring(server), L"vpn.example.com");
    size = 512;
    MsiGetPropertyW(session_, L"RollbackAdministratorProfile", before, &size);
    run("WriteAdministratorProfile",
        {{L"CustomActionData", handedOver({{"PSK", L"NewKey42"}, {"SERVER", L"-"}, {"AUTODIAL", L"1"}})}});
    EXPECT_EQ(run("RestoreAdministratorProfile", {{L"CustomActionData", before}}), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(stored(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));
    EXPECT_EQ(stored(L"PSK"), std::optional<std::wstring>(L"Zq8preshared"));
    EXPECT_EQ(stored(L"AUTODIAL"), std::nullopt);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

bool toldHas(const std::string& part) {
    for (const std::string& message : told) {
        if (message.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(MsiProfileActions, aFailureIsToldWithTheCallOrThePropertyAndItsWindowsErrorNeverAValue) {
    EXPECT_EQ(run("CheckAdministratorProfile", {{L"SUITE", L"AES256"}, {L"PSK", L"Zq8preshared\n"}}),
              static_cast<UINT>(ERROR_INSTALL_FAILURE));
    EXPECT_TRUE(toldHas("cannot use the value of PSK, SUITE."));
    // No service of that name here: its time at Windows' end cannot be set.
    EXPECT_EQ(run("SetServicePreShutdown"), static_cast<UINT>(ERROR_INSTALL_FAILURE));
    EXPECT_TRUE(toldHas("OpenServiceW failed with Windows error 1060."));
    for (const std::string& message : told) {
        EXPECT_EQ(message.find("AES256"), std::string::npos) << message;
        EXPECT_EQ(message.find("Zq8preshared"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace velmora
