#include "core/connection/address_snapshot.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_ip_helper.h"

namespace velmora {
namespace {

using Addresses = std::vector<std::string>;

Addresses numbered(int count) {
    Addresses addresses;
    for (int i = 1; i <= count; ++i) {
        addresses.push_back("192.168." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    }
    return addresses;
}

TEST(AddrToString, writesTheBytesInMemoryOrderWithoutPadding) {
    EXPECT_EQ(addrToString({10, 10, 10, 4}), "10.10.10.4");
    EXPECT_EQ(addrToString({0, 0, 0, 0}), "0.0.0.0");
    EXPECT_EQ(addrToString({255, 1, 200, 9}), "255.1.200.9");
}

class ReadIpAddrTableTest : public ::testing::Test {
protected:
    std::optional<Addresses> read() { return readIpAddrTable(table, window); }
    void fill(int count) {
        for (const std::string& address : numbered(count)) {
            table.add(address);
        }
    }

    testing::FakeIpHelper table;
    testing::FakeControlSurface window;
};

TEST_F(ReadIpAddrTableTest, keepsTheTablesOrder) {
    table.add("127.0.0.1");
    table.add("10.10.10.4");
    table.add("192.168.1.20");
    EXPECT_EQ(read(), (Addresses{"127.0.0.1", "10.10.10.4", "192.168.1.20"}));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ReadIpAddrTableTest, fiftyAddressesFitSilently) {
    fill(50);
    EXPECT_EQ(read(), numbered(50));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ReadIpAddrTableTest, theFiftyFirstIsAnErrorAndTheFirstFiftyAreKept) {
    fill(53);
    EXPECT_EQ(read(), numbered(50));
    EXPECT_EQ(window.messages, Addresses{"ERROR"});
}

TEST_F(ReadIpAddrTableTest, noSizeGivesNothingSilently) {
    table.table.status = AddressTableStatus::noSize;
    EXPECT_EQ(read(), std::nullopt);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ReadIpAddrTableTest, aFailedReadIsAnErrorAndGivesNothing) {
    table.table.status = AddressTableStatus::readFailed;
    EXPECT_EQ(read(), std::nullopt);
    EXPECT_EQ(window.messages, Addresses{"ERROR"});
}

TEST(FirstNewAddress, noNewAddress) {
    EXPECT_EQ(firstNewAddress({"127.0.0.1"}, {"127.0.0.1"}), std::nullopt);
    EXPECT_EQ(firstNewAddress({}, {}), std::nullopt);
}

TEST(FirstNewAddress, oneNewAddressWhereverItStands) {
    EXPECT_EQ(firstNewAddress({"127.0.0.1", "192.168.1.20"}, {"10.10.10.4", "127.0.0.1", "192.168.1.20"}),
              "10.10.10.4");
    EXPECT_EQ(firstNewAddress({"127.0.0.1"}, {"127.0.0.1", "10.10.10.4"}), "10.10.10.4");
}

TEST(FirstNewAddress, ofTwoNewAddressesTheFirstInTableOrder) {
    EXPECT_EQ(firstNewAddress({"127.0.0.1"}, {"127.0.0.1", "10.10.10.9", "10.10.10.4"}), "10.10.10.9");
}

TEST(FirstNewAddress, equalCountsFindNothingEvenWhenAnAddressChanged) {
    EXPECT_EQ(firstNewAddress({"127.0.0.1", "192.168.1.20"}, {"127.0.0.1", "10.10.10.4"}), std::nullopt);
}

TEST(FirstNewAddress, fewerAfterFindsNothing) {
    EXPECT_EQ(firstNewAddress({"127.0.0.1", "192.168.1.20"}, {"10.10.10.4"}), std::nullopt);
}

TEST(FirstNewAddress, comparesWholeTexts) {
    EXPECT_EQ(firstNewAddress({"10.10.10.40"}, {"10.10.10.40", "10.10.10.4"}), "10.10.10.4");
}

}  // namespace
}  // namespace velmora
