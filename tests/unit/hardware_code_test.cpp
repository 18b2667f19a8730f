#include "core/system/hardware_code.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_management_service.h"

namespace velmora {
namespace {

const std::vector<std::uint8_t> kSixBytes = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const std::vector<std::uint8_t> kOtherSixBytes = {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};

class HardwareCode : public ::testing::Test {
protected:
    std::string code() { return getHDCode(management, adapters); }

    testing::FakeManagementService management;
    testing::FakeIpHelper adapters;
};

TEST_F(HardwareCode, addressTextIsUpperCaseHexWithALineEndPerAdapter) {
    adapters.addresses = {kSixBytes, {0x0F, 0xF0, 0x09}, {}};
    EXPECT_EQ(LocalMACAddress(adapters), "001A2B3C4D5E\r\n0FF009\r\n\r\n");
}

TEST_F(HardwareCode, noAdapterIsEmptyAddressText) {
    EXPECT_EQ(LocalMACAddress(adapters), "");
}

TEST_F(HardwareCode, sixteenCharacterIdAndSixByteAdapterMakeTwelveCharacters) {
    management.ids = {"BFEBFBFF000306A9"};
    adapters.addresses = {kSixBytes};
    EXPECT_EQ(code(), "BFEB4D5E06A9");
}

TEST_F(HardwareCode, onlyTheFirstAdapterContributes) {
    management.ids = {"BFEBFBFF000306A9"};
    adapters.addresses = {kSixBytes, kOtherSixBytes};
    EXPECT_EQ(code(), "BFEB4D5E06A9");
}

TEST_F(HardwareCode, fourCharacterIdStandsOnBothSidesInItsOwnCase) {
    management.ids = {"a1B2"};
    adapters.addresses = {kOtherSixBytes};
    EXPECT_EQ(code(), "a1B2E4F5a1B2");
}

TEST_F(HardwareCode, idShorterThanFourCharactersGivesNoCode) {
    adapters.addresses = {kSixBytes};
    for (const std::string id : {"", "B", "BF", "BFE"}) {
        management.ids = {id};
        EXPECT_EQ(code(), "") << id;
    }
    management.ids.clear();
    EXPECT_EQ(code(), "");
}

TEST_F(HardwareCode, countsCharactersNotBytes) {
    adapters.addresses = {kSixBytes};
    management.ids = {"处理器"};
    EXPECT_EQ(code(), "");
    management.ids = {"处理器标识码"};
    EXPECT_EQ(code(), "处理器标4D5E器标识码");
}

TEST_F(HardwareCode, noAdapterLeavesTheOuterPieces) {
    management.ids = {"BFEBFBFF000306A9"};
    EXPECT_EQ(code(), "BFEB06A9");
}

TEST_F(HardwareCode, shortFirstAddressRunsIntoTheLineEndAndTheNextAdapter) {
    management.ids = {"BFEBFBFF000306A9"};
    adapters.addresses = {{0x01, 0x02, 0x03, 0x04}, kOtherSixBytes};
    EXPECT_EQ(code(), "BFEB\r\nA006A9");
    adapters.addresses = {{0x01, 0x02, 0x03, 0x04, 0x05}, kOtherSixBytes};
    EXPECT_EQ(code(), "BFEB05\r\n06A9");
    adapters.addresses = {{0x01, 0x02, 0x03, 0x04}};
    EXPECT_EQ(code(), "BFEB\r\n06A9");
    adapters.addresses = {{0x01, 0x02, 0x03}};
    EXPECT_EQ(code(), "BFEB06A9");
}

TEST_F(HardwareCode, lastProcessorWins) {
    adapters.addresses = {kSixBytes};
    management.ids = {"AAAAFFFF00001111", "BBBBEEEE00002222"};
    EXPECT_EQ(code(), "BBBB4D5E2222");
    management.ids = {"AAAAFFFF00001111", "BB"};
    EXPECT_EQ(code(), "");
}

}  // namespace
}  // namespace velmora
