#include "core/system/general.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_registry.h"

namespace velmora {
namespace {

using testing::FakeRegistry;
using testing::kRegBinary;
using testing::kRegDword;
using testing::kRegSz;

constexpr const char* kSubkey = "Software\\Velmora";
constexpr const char* kPath = "HKEY_CURRENT_USER\\Software\\Velmora";

class GeneralTest : public ::testing::Test {
protected:
    void store(std::uint32_t type, std::vector<std::uint8_t> data) {
        registry.key(kHkeyCurrentUser, kSubkey).values["v"] = {type, std::move(data)};
    }

    FakeRegistry registry;
    testing::FakeControlSurface window;
    General general{registry, window};
};

TEST(RegRootKey, namesTheSevenPredefinedRoots) {
    EXPECT_EQ(regRootKey("HKEY_CLASSES_ROOT"), 0x80000000u);
    EXPECT_EQ(regRootKey("HKEY_CURRENT_USER"), 0x80000001u);
    EXPECT_EQ(regRootKey("HKEY_LOCAL_MACHINE"), 0x80000002u);
    EXPECT_EQ(regRootKey("HKEY_USERS"), 0x80000003u);
    EXPECT_EQ(regRootKey("HKEY_PERFORMANCE_DATA"), 0x80000004u);
    EXPECT_EQ(regRootKey("HKEY_CURRENT_CONFIG"), 0x80000005u);
    EXPECT_EQ(regRootKey("HKEY_DYN_DATA"), 0x80000006u);
}

TEST(RegRootKey, anythingElseIsNoRoot) {
    EXPECT_EQ(regRootKey("hkey_local_machine"), 0u);
    EXPECT_EQ(regRootKey("HKEY_LOCAL_MACHINE "), 0u);
    EXPECT_EQ(regRootKey("HKLM"), 0u);
    EXPECT_EQ(regRootKey("HKEY_"), 0u);
    EXPECT_EQ(regRootKey(""), 0u);
}

TEST_F(GeneralTest, splitsAtTheFirstBackslash) {
    const RegPath path = general.regSplitPath("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services");
    EXPECT_EQ(path.root, kHkeyLocalMachine);
    EXPECT_EQ(path.subkey, "System\\CurrentControlSet\\Services");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(GeneralTest, rootNameAloneOpensTheRootItself) {
    const RegPath path = general.regSplitPath("HKEY_CURRENT_USER");
    EXPECT_EQ(path.root, kHkeyCurrentUser);
    EXPECT_EQ(path.subkey, "");
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(GeneralTest, badFormatIsShownAndHasNoRoot) {
    for (const std::string bad : {"hkey_local_machine\\System", "HKEY_CURRENT_USER\\Software\\", "HKEY_CURRENT_USER\\",
                                  "HKLM\\System", "", "HKEY"}) {
        window.messages.clear();
        EXPECT_EQ(general.regSplitPath(bad).root, 0u) << bad;
        ASSERT_EQ(window.messages.size(), 1u) << bad;
        EXPECT_EQ(window.messages[0], "Incorrect Format:\n\n" + bad);
    }
}

TEST_F(GeneralTest, unknownRootPassesTheFormatTestSilently) {
    EXPECT_EQ(general.regSplitPath("HKEY_LOCAL_MACHINES\\System").root, 0u);
    EXPECT_EQ(general.regSplitPath("HKEY_").root, 0u);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(GeneralTest, readsADwordAsItsNumber) {
    registry.setDword(kHkeyCurrentUser, kSubkey, "v", 1);
    const RegValue value = general.regGetValue(kPath, "v");
    EXPECT_EQ(value.form, RegValue::Form::integer);
    EXPECT_EQ(value.integer, 1);
    EXPECT_EQ(value.text(), "1");
}

TEST_F(GeneralTest, readsTheBytesLittleEndianAndSigned) {
    store(kRegBinary, {0x78, 0x56, 0x34, 0x12});
    EXPECT_EQ(general.regGetValue(kPath, "v").integer, 0x12345678);
    store(kRegDword, {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "-1");
}

TEST_F(GeneralTest, shortDataIsFilledWithZeroBytesWhateverItsType) {
    store(kRegSz, {'1', 0});
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "49");
    store(kRegBinary, {0x01});
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "1");
    store(kRegBinary, {0x34, 0x12, 0x01});
    EXPECT_EQ(general.regGetValue(kPath, "v").integer, 0x011234);
    store(kRegBinary, {});
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "0");
}

TEST_F(GeneralTest, unreadableValueOrKeyIsError) {
    registry.key(kHkeyCurrentUser, kSubkey);
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "Error");
    store(kRegBinary, {1, 0, 0, 0, 0});
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "Error");
    EXPECT_EQ(general.regGetValue(kPath + std::string("\\Missing"), "v").form, RegValue::Form::error);
    store(kRegDword, {1, 0, 0, 0});
    registry.key(kHkeyCurrentUser, kSubkey).readable = false;
    EXPECT_EQ(general.regGetValue(kPath, "v").text(), "Error");
}

TEST_F(GeneralTest, readWithoutARootIsEmptyAndTouchesNothing) {
    registry.setDword(kHkeyCurrentUser, kSubkey, "v", 1);
    const RegValue unknownRoot = general.regGetValue("HKEY_CURRENT_USERS\\Software\\Velmora", "v");
    EXPECT_EQ(unknownRoot.form, RegValue::Form::empty);
    EXPECT_EQ(unknownRoot.text(), "");
    EXPECT_EQ(general.regGetValue("hkey_current_user\\Software\\Velmora", "v").text(), "");
    EXPECT_EQ(registry.accesses, 0);
}

TEST_F(GeneralTest, writesAFourByteDword) {
    store(kRegSz, {'1', 0});
    EXPECT_TRUE(general.regSetDword(kPath, "v", 0x01020304));
    const FakeRegistry::Value* value = registry.value(kHkeyCurrentUser, kSubkey, "v");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, kRegDword);
    EXPECT_EQ(value->data, (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

TEST_F(GeneralTest, writeReportsWhatDidNotHappen) {
    EXPECT_FALSE(general.regSetDword(kPath, "v", 1));
    EXPECT_TRUE(registry.keys.empty());
    registry.key(kHkeyCurrentUser, kSubkey).writable = false;
    EXPECT_FALSE(general.regSetDword(kPath, "v", 1));
    EXPECT_EQ(registry.writes, 0);
}

TEST_F(GeneralTest, writeWithoutARootTouchesNothing) {
    registry.key(kHkeyCurrentUser, kSubkey);
    EXPECT_FALSE(general.regSetDword("HKEY_CURRENT_USER\\Software\\Velmora\\", "v", 1));
    EXPECT_FALSE(general.regSetDword("HKEY_NOWHERE\\Software\\Velmora", "v", 1));
    EXPECT_EQ(registry.accesses, 0);
    EXPECT_EQ(window.messages.size(), 1u);
}

}  // namespace
}  // namespace velmora
