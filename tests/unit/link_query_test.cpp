#include "core/connection/link_query.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_remote_access.h"

namespace velmora {
namespace {

class LinkQueryTest : public ::testing::Test {
protected:
    testing::FakeRemoteAccess ras;
    LinkQuery query{ras};
};

TEST_F(LinkQueryTest, noConnectionsIsDown) {
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 0u);
}

TEST_F(LinkQueryTest, matchingEntryIsUpAndItsHandleKept) {
    ras.connect(7, "office");
    ras.connect(9, "corvinaltexum");
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 9u);
}

TEST_F(LinkQueryTest, comparesTheWholeNameCaseSensitively) {
    ras.connect(9, "corvinaltexum");
    EXPECT_FALSE(query.getL2tpState("Corvinaltexum"));
    EXPECT_FALSE(query.getL2tpState("corvinaltexum "));
    EXPECT_FALSE(query.getL2tpState("corvinal"));
    EXPECT_FALSE(query.getL2tpState(""));
    EXPECT_EQ(query.hRasConn(), 0u);
}

TEST_F(LinkQueryTest, firstOfTwoWithTheSameNameWins) {
    ras.connect(11, "corvinaltexum");
    ras.connect(12, "corvinaltexum");
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 11u);
}

TEST_F(LinkQueryTest, chineseEntryName) {
    ras.connect(5, "公司VPN");
    EXPECT_TRUE(query.getL2tpState("公司VPN"));
    EXPECT_EQ(query.hRasConn(), 5u);
}

TEST_F(LinkQueryTest, failedQueryIsDownAndKeepsTheLastHandle) {
    ras.connect(9, "corvinaltexum");
    ASSERT_TRUE(query.getL2tpState("corvinaltexum"));
    ras.list.status = 603;  // the service's buffer error: more than 64 connections
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 9u);
}

TEST_F(LinkQueryTest, noMatchKeepsTheLastHandle) {
    ras.connect(9, "corvinaltexum");
    ASSERT_TRUE(query.getL2tpState("corvinaltexum"));
    ras.list.connections.clear();
    ras.connect(4, "other");
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(query.hRasConn(), 9u);
}

TEST_F(LinkQueryTest, asksTheServiceAnewEachTime) {
    EXPECT_FALSE(query.getL2tpState("corvinaltexum"));
    ras.connect(3, "corvinaltexum");
    EXPECT_TRUE(query.getL2tpState("corvinaltexum"));
    EXPECT_EQ(ras.queries, 2);
}

}  // namespace
}  // namespace velmora
