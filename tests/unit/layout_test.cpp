#include "ui/layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/profile/conn_profile.h"

namespace velmora {
namespace {

TEST(Twips, becomePixelsRoundedToTheNearest) {
    EXPECT_EQ(twipsToPixels(2400, 96), 160);
    EXPECT_EQ(twipsToPixels(2175, 120), 181);  // 181.25
    EXPECT_EQ(twipsToPixels(1455, 120), 121);  // 121.25
    EXPECT_EQ(twipsToPixels(270, 120), 23);    // 22.5 rounds up
    EXPECT_EQ(twipsToPixels(8625, 144), 863);  // 862.5 rounds up
    EXPECT_EQ(twipsToPixels(0, 120), 0);
}

TEST(Twips, pixelsBecomeWholeTwips) {
    EXPECT_EQ(pixelsToTwips(227, 96), 3405);
    EXPECT_EQ(pixelsToTwips(284, 120), 3408);
    EXPECT_EQ(pixelsToTwips(10, 0), 0);
}

// The window heights the behaviour computes come out as the window was designed for.
TEST(Layout, framesGiveTheDesignedWindowHeights) {
    const TwipsRect frame1 = designRect(Control::Frame1);
    const TwipsRect frame2 = designRect(Control::Frame2);
    EXPECT_EQ(frame1.top + 370, 6850);
    EXPECT_EQ(frame1.top + frame1.height + 700, 8635);
    EXPECT_EQ(frame2.top + frame2.height + 4000, 6655);
    EXPECT_EQ(frame2.top + frame2.height + 750, 3405);
    EXPECT_EQ(designRect(Control::Frame5).top, 2760);
}

TEST(Layout, startsWithTheDesignTimeProfile) {
    const ConnProfile p = designTimeProfile();
    const std::pair<Control, std::string> texts[] = {
        {Control::txtConnName, p.txtConnName}, {Control::txtpeer, p.txtpeer},
        {Control::txtpeermask, p.txtpeermask}, {Control::txtlocal, p.txtlocal},
        {Control::txtpreshare, p.txtpreshare}, {Control::txtServerAddress, p.txtServerAddress},
        {Control::txtUserName, p.txtUserName}, {Control::txtPasswd, p.txtPasswd},
        {Control::txtpeer2, p.txtpeer2},       {Control::txtpeermask2, p.txtpeermask2},
        {Control::txtHD, p.txtHD},
    };
    for (const auto& [control, text] : texts) {
        EXPECT_EQ(layoutItem(control).caption, text) << layoutItem(control).name;
    }
}

TEST(Layout, limitsTheBoxesTheProfileLimits) {
    for (Control address : {Control::txtpeer, Control::txtpeermask, Control::txtlocal, Control::txtpeer2,
                            Control::txtpeermask2}) {
        EXPECT_EQ(layoutItem(address).maxChars, static_cast<int>(kAddressMaxChars)) << layoutItem(address).name;
    }
    EXPECT_EQ(layoutItem(Control::txtpreshare).maxChars, static_cast<int>(kPreshareMaxChars));
    EXPECT_TRUE(layoutItem(Control::txtpreshare).masked);
    EXPECT_TRUE(layoutItem(Control::txtPasswd).masked);
}

TEST(Layout, everyTabIndexIsUsedOnce) {
    std::set<int> seen;
    for (const LayoutItem& item : layoutItems()) {
        if (item.tabIndex >= 0) {
            EXPECT_TRUE(seen.insert(item.tabIndex).second) << item.name << " repeats " << item.tabIndex;
        }
    }
    EXPECT_EQ(seen.size(), kLayoutItemCount - 1);  // all but the picture
}

TEST(Layout, holdsEveryWindowControlTheLogicNamesAndOnlyFramesHoldOthers) {
    for (Control control : {Control::txtConnName, Control::comalg, Control::Check1, Control::Check4, Control::Option1,
                            Control::checkHD, Control::txtHD, Control::Command3, Control::Frame1, Control::Frame5}) {
        EXPECT_EQ(layoutItem(control).control, control);
    }
    EXPECT_EQ(layoutItem(Control::Option1, 1).caption, std::string("PPTP"));
    for (const LayoutItem& item : layoutItems()) {
        if (item.container) {
            EXPECT_EQ(layoutItem(*item.container).kind, ControlKind::frame) << item.name;
        }
    }
}

TEST(TrayMenu, listsItsItemsInOrderWithOneSeparator) {
    std::string captions;
    for (const TrayMenuItem& item : trayMenuItems()) {
        captions += std::string(item.caption) + "|";
    }
    EXPECT_EQ(captions, "还原|连接|停止|重新连接|连接状态|查看日志|登录时启动||退出|");
    EXPECT_EQ(trayMenuItems()[3].control, Control::menuL2tp);
}

}  // namespace
}  // namespace velmora
