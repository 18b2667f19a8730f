// The registry module and the ProhibitIpsec switch against the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/system/general.h"
#include "core/system/l2tp_switch.h"
#include "platform/win32/win32_registry.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_operations.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

struct StoredValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Reads a value directly, bypassing the code under test.
std::optional<StoredValue> storedValue(HKEY root, const wchar_t* subkey, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

void storeValue(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The real registry, counting the writes that reach it: Wine keeps no trace of a write that
// stores the data already there.
class CountingRegistry : public Win32Registry {
public:
    bool writeDword(RegRoot root, const std::string& subkey, const std::string& valueName,
                    std::uint32_t value) override {
        ++writes;
        return Win32Registry::writeDword(root, subkey, valueName, value);
    }

    int writes = 0;
};

const std::vector<BYTE> kDwordOne = {1, 0, 0, 0};

// The switch's key as the remote-access manager keeps it; whatever the prefix held before a
// test is put back after it.
class Win32L2tpSwitch : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
    static constexpr const wchar_t* kValue = L"ProhibitIpsec";

    void SetUp() override {
        HKEY key = nullptr;
        keyExisted_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (keyExisted_) {
            RegCloseKey(key);
        }
        original_ = storedValue(HKEY_LOCAL_MACHINE, kKey, kValue);
    }
    void TearDown() override {
        if (original_) {
            storeValue(HKEY_LOCAL_MACHINE, kKey, kValue, original_->type, original_->data);
        } else if (keyExisted_) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
                (void)RegDeleteValueW(key, kValue);
                RegCloseKey(key);
            }
        } else {
            (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey);
        }
    }

    void store(DWORD type, const std::vector<BYTE>& data) { storeValue(HKEY_LOCAL_MACHINE, kKey, kValue, type, data); }
    std::optional<StoredValue> stored() const { return storedValue(HKEY_LOCAL_MACHINE, kKey, kValue); }
    void removeValue() {
        store(REG_DWORD, kDwordOne);
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueW(key, kValue), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void expectSetToDwordOneAfterTheRestartMessage(StartUp verdict) {
        EXPECT_EQ(verdict, StartUp::endProgram);
        const auto value = stored();
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value->data, kDwordOne);
        EXPECT_EQ(window.messages, std::vector<std::string>{"注册表已经修改，需要重新启动计算机才能生效！"});
    }

    CountingRegistry registry;
    testing::OperationsOnRegistry machine{registry};
    testing::FakeControlSurface window;
    testing::MemoryLog log;

private:
    bool keyExisted_ = false;
    std::optional<StoredValue> original_;
};

TEST_F(Win32L2tpSwitch, dwordOneIsLeftAloneAndStartUpGoesOn) {
    store(REG_DWORD, kDwordOne);
    EXPECT_EQ(modifyL2tpReg(registry, machine.operations, window, log.log), StartUp::carryOn);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(Win32L2tpSwitch, zeroIsSetToOne) {
    store(REG_DWORD, {0, 0, 0, 0});
    expectSetToDwordOneAfterTheRestartMessage(modifyL2tpReg(registry, machine.operations, window, log.log));
}

TEST_F(Win32L2tpSwitch, absentValueIsSet) {
    removeValue();
    expectSetToDwordOneAfterTheRestartMessage(modifyL2tpReg(registry, machine.operations, window, log.log));
}

TEST_F(Win32L2tpSwitch, textOneReadsAsFortyNineAndIsOverwritten) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\RasMan\\Parameters", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "ProhibitIpsec", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2), ERROR_SUCCESS);
    RegCloseKey(key);
    General general(registry, window);
    EXPECT_EQ(general.regGetValue(kRasManParameters, kProhibitIpsec).text(), "49");
    expectSetToDwordOneAfterTheRestartMessage(modifyL2tpReg(registry, machine.operations, window, log.log));
}

TEST_F(Win32L2tpSwitch, oneByteBinaryOneCountsAsSet) {
    store(REG_BINARY, {1});
    EXPECT_EQ(modifyL2tpReg(registry, machine.operations, window, log.log), StartUp::carryOn);
    EXPECT_EQ(registry.writes, 0);
    const auto value = stored();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value->data, std::vector<BYTE>{1});
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(Win32L2tpSwitch, missingKeyIsCreatedAndTheSwitchSet) {
    removeValue();
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey), ERROR_SUCCESS);
    expectSetToDwordOneAfterTheRestartMessage(modifyL2tpReg(registry, machine.operations, window, log.log));
}

// Paths of every shape against a key of the test's own under HKEY_CURRENT_USER.
class Win32General : public ::testing::Test {
protected:
    static constexpr const wchar_t* kKey = L"Software\\VelmoraTests";
    static constexpr const char* kPath = "HKEY_CURRENT_USER\\Software\\VelmoraTests";

    void SetUp() override { storeValue(HKEY_CURRENT_USER, kKey, L"seed", REG_DWORD, kDwordOne); }
    void TearDown() override {
        (void)RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VelmoraTests\\中文");
        (void)RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
        (void)RegDeleteValueW(HKEY_CURRENT_USER, L"VelmoraTestsRootValue");
    }

    std::string read(const std::string& path, const std::string& name) {
        return general.regGetValue(path, name).text();
    }
    void store(const wchar_t* name, DWORD type, const std::vector<BYTE>& data) {
        storeValue(HKEY_CURRENT_USER, kKey, name, type, data);
    }

    Win32Registry registry;
    testing::FakeControlSurface window;
    General general{registry, window};
};

TEST_F(Win32General, readsShortDataOfAnyTypeAsALittleEndianInteger) {
    store(L"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
    store(L"minus", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF});
    store(L"byte", REG_BINARY, {0x01});
    store(L"empty", REG_BINARY, {});
    EXPECT_EQ(read(kPath, "dword"), std::to_string(0x12345678));
    EXPECT_EQ(read(kPath, "minus"), "-1");
    EXPECT_EQ(read(kPath, "byte"), "1");
    EXPECT_EQ(read(kPath, "empty"), "0");
}

TEST_F(Win32General, readsStringDataInTheAnsiCodePage) {
    // "12" and its NUL are three bytes in the ANSI code page (six in UTF-16).
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "text", 0, REG_SZ, reinterpret_cast<const BYTE*>("12"), 3), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(read(kPath, "text"), std::to_string(0x003231));
}

TEST_F(Win32General, longDataAbsentValueAndMissingKeyReadAsError) {
    store(L"long", REG_BINARY, {1, 0, 0, 0, 0});
    EXPECT_EQ(read(kPath, "long"), "Error");
    EXPECT_EQ(read(kPath, "absent"), "Error");
    EXPECT_EQ(read(std::string(kPath) + "\\Missing", "seed"), "Error");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(Win32General, writesADwordIntoAnExistingKeyOnly) {
    EXPECT_TRUE(general.regSetDword(kPath, "written", 0x01020304));
    const auto value = storedValue(HKEY_CURRENT_USER, kKey, L"written");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value->data, (std::vector<BYTE>{4, 3, 2, 1}));

    EXPECT_FALSE(general.regSetDword(std::string(kPath) + "\\Missing", "written", 1));
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VelmoraTests\\Missing", 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(Win32General, chineseSubkeyAndValueNamesAreFound) {
    storeValue(HKEY_CURRENT_USER, L"Software\\VelmoraTests\\中文", L"数值", REG_DWORD, {7, 0, 0, 0});
    EXPECT_EQ(read(std::string(kPath) + "\\中文", "数值"), "7");
}

TEST_F(Win32General, lowerCaseRootIsShownAndNothingIsAccessed) {
    const std::string path = "hkey_current_user\\Software\\VelmoraTests";
    EXPECT_EQ(read(path, "seed"), "");
    EXPECT_FALSE(general.regSetDword(path, "lower", 1));
    EXPECT_FALSE(storedValue(HKEY_CURRENT_USER, kKey, L"lower"));
    const std::string shown = "Incorrect Format:\n\n" + path;
    EXPECT_EQ(window.messages, (std::vector<std::string>{shown, shown}));
}

TEST_F(Win32General, trailingBackslashIsShownAndNothingIsAccessed) {
    const std::string path = std::string(kPath) + "\\";
    EXPECT_EQ(read(path, "seed"), "");
    EXPECT_FALSE(general.regSetDword(path, "trailing", 1));
    EXPECT_FALSE(storedValue(HKEY_CURRENT_USER, kKey, L"trailing"));
    const std::string shown = "Incorrect Format:\n\n" + path;
    EXPECT_EQ(window.messages, (std::vector<std::string>{shown, shown}));
}

TEST_F(Win32General, rootNameAloneIsTheRootKeyItself) {
    EXPECT_TRUE(general.regSetDword("HKEY_CURRENT_USER", "VelmoraTestsRootValue", 5));
    const auto value = storedValue(HKEY_CURRENT_USER, nullptr, L"VelmoraTestsRootValue");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->data, (std::vector<BYTE>{5, 0, 0, 0}));
    EXPECT_EQ(read("HKEY_CURRENT_USER", "VelmoraTestsRootValue"), "5");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(Win32General, unknownHkeyRootReadsEmptyAndWritesNothing) {
    const std::string path = "HKEY_CURRENT_USERS\\Software\\VelmoraTests";
    EXPECT_EQ(general.regGetValue(path, "seed").form, RegValue::Form::empty);
    EXPECT_FALSE(general.regSetDword(path, "unknown", 1));
    EXPECT_FALSE(storedValue(HKEY_CURRENT_USER, kKey, L"unknown"));
    EXPECT_TRUE(window.messages.empty());
}

TEST(Win32RegistryStrings, roundTripInAnyLanguageCreatingTheKeysAndRemovingTheValue) {
    const std::string subkey = "Software\\VelmoraTest\\新的\\Strings";
    Win32Registry registry;
    ASSERT_TRUE(registry.writeString(kHkeyCurrentUser, subkey, "策略", "办公室 IPsec 策略"));
    EXPECT_EQ(registry.readString(kHkeyCurrentUser, subkey, "策略"), std::optional<std::string>("办公室 IPsec 策略"));

    // A DWORD is not a string; a value that is gone reads as nothing and deletes again fine.
    ASSERT_TRUE(registry.writeDword(kHkeyCurrentUser, subkey, "number", 7));
    EXPECT_FALSE(registry.readString(kHkeyCurrentUser, subkey, "number").has_value());
    EXPECT_TRUE(registry.deleteValue(kHkeyCurrentUser, subkey, "策略"));
    EXPECT_FALSE(registry.readString(kHkeyCurrentUser, subkey, "策略").has_value());
    EXPECT_TRUE(registry.deleteValue(kHkeyCurrentUser, subkey, "策略"));
    EXPECT_TRUE(registry.deleteValue(kHkeyCurrentUser, "Software\\VelmoraTest\\NoSuchKey", "策略"));

    // A key holds values while one is left; a missing key holds none.
    EXPECT_TRUE(registry.hasValues(kHkeyCurrentUser, subkey));
    EXPECT_TRUE(registry.deleteValue(kHkeyCurrentUser, subkey, "number"));
    EXPECT_FALSE(registry.hasValues(kHkeyCurrentUser, subkey));
    EXPECT_FALSE(registry.hasValues(kHkeyCurrentUser, "Software\\VelmoraTest\\NoSuchKey"));
    for (const wchar_t* key : {L"Software\\VelmoraTest\\新的\\Strings", L"Software\\VelmoraTest\\新的", L"Software\\VelmoraTest"}) {
        (void)RegDeleteKeyW(HKEY_CURRENT_USER, key);
    }
}

// The store's keys are listed by name, and a key closed to everyone but the system, the
// administrators and NETWORK SERVICE (which reads policy) shows exactly that, inheriting nothing.
TEST_F(Win32General, listsSubkeysAndClosesAKeyToAllButTheSystemsAccounts) {
    const std::wstring rule = std::wstring(kKey) + L"\\ipsecNFA{11}";
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, rule.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_EQ(registry.subkeys(kHkeyCurrentUser, "Software\\VelmoraTests"), std::vector<std::string>{"ipsecNFA{11}"});
    EXPECT_TRUE(registry.subkeys(kHkeyCurrentUser, "Software\\NoSuchVelmoraKey").empty());

    ASSERT_TRUE(registry.closeKey(kHkeyCurrentUser, "Software\\VelmoraTests\\ipsecNFA{11}"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, rule.c_str(), 0, READ_CONTROL, &key), ERROR_SUCCESS);
    DWORD size = 0;
    (void)RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> bytes(size);
    ASSERT_EQ(RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, bytes.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(bytes.data(), &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL access = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(bytes.data(), &present, &access, &defaulted));
    EXPECT_EQ(testing::grantedTo(access), (std::set<std::wstring>{L"S-1-5-18", L"S-1-5-32-544", L"S-1-5-20"}));
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, rule.c_str()), ERROR_SUCCESS);
}

}  // namespace
}  // namespace velmora
