#include "ui/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

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
    EXPECT_EQ(seen.size(), kLayoutItemCount - 2);  // all but the picture and the hardware code
}

// Where an item is in the window's reading order: a frame is read whole where it stands, top to
// bottom and left to right inside; anything else in the window stands for itself.
std::array<int, 4> readingPlace(const LayoutItem& item) {
    if (item.container) {
        const TwipsRect frame = designRect(*item.container);
        return {frame.top, frame.left, item.rect.top, item.rect.left};
    }
    return {item.rect.top, item.rect.left, -1, -1};
}

bool takesFocus(const LayoutItem& item) {
    return item.tabIndex >= 0 && item.kind != ControlKind::frame && item.kind != ControlKind::label &&
           item.kind != ControlKind::picture;
}

TEST(Layout, tabOrderFollowsTheReadingOrder) {
    const auto items = tabOrder();
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_LE(readingPlace(*items[i - 1]), readingPlace(*items[i]))
            << items[i - 1]->name << " comes before " << items[i]->name;
    }
    // What the user fills in first comes first, the advanced options after the buttons.
    std::vector<std::string> focusable;
    for (const LayoutItem* item : items) {
        if (takesFocus(*item) && item->container == Control::Frame2) {
            focusable.push_back(item->name);
        }
    }
    EXPECT_EQ(focusable, (std::vector<std::string>{"txtUserName", "txtPasswd", "checkHD", "Check4"}));
    EXPECT_LT(layoutItem(Control::Command3).tabIndex, layoutItem(Control::Option1).tabIndex);
}

TEST(Layout, accessKeysAreUniqueAndReachEveryControlThatTakesTheFocus) {
    std::map<char, std::string> keys;
    for (const LayoutItem& item : layoutItems()) {
        if (const auto key = accessKey(item.caption)) {
            const auto [holder, added] = keys.emplace(*key, item.name);
            EXPECT_TRUE(added) << item.name << " and " << holder->second << " share " << *key;
        }
    }
    const auto items = tabOrder();
    for (std::size_t i = 0; i < items.size(); ++i) {
        const LayoutItem& item = *items[i];
        if (item.kind == ControlKind::label && accessKey(item.caption)) {
            // The dialog manager moves a label's key on to the next control in the tab order.
            ASSERT_LT(i + 1, items.size()) << item.name;
            EXPECT_TRUE(takesFocus(*items[i + 1])) << item.name << " is followed by " << items[i + 1]->name;
        }
        if (!takesFocus(item)) {
            continue;
        }
        const bool ownKey = item.kind != ControlKind::textBox && !isCombo(item.kind);
        const bool labelled = i > 0 && items[i - 1]->kind == ControlKind::label && accessKey(items[i - 1]->caption);
        EXPECT_TRUE(ownKey ? accessKey(item.caption).has_value() : labelled) << item.name << item.index;
    }
    EXPECT_EQ(keys.at('C'), "Command1");
    EXPECT_EQ(keys.at('S'), "Command2");
    EXPECT_EQ(keys.at('U'), "Label7");
}

TEST(Layout, readsTheAccessKeyOfACaption) {
    const std::pair<const char*, std::optional<char>> rows[] = {
        {"连接(&C)", 'C'}, {"PP&TP", 'T'},     {"&l2tp", 'L'},     {"L&2TP拨号", '2'},
        {"R&&D", std::nullopt}, {"R&&D(&x)", 'X'}, {"末尾&", std::nullopt}, {"", std::nullopt},
        {"Velmora", std::nullopt},
    };
    for (const auto& [caption, key] : rows) {
        EXPECT_EQ(accessKey(caption), key) << caption;
    }
}

// A control that covered another would paint over it: the labels end before their boxes. Check1
// and Check3 share a place, and the window never shows either.
TEST(Layout, controlsOfOneContainerDoNotOverlap) {
    const auto overlap = [](const TwipsRect& a, const TwipsRect& b) {
        return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
               b.top < a.top + a.height;
    };
    const auto& items = layoutItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            const bool shareAPlace = std::set<std::string>{items[i].name, items[j].name} ==
                                     std::set<std::string>{"Check1", "Check3"};
            if (items[i].container == items[j].container && !shareAPlace) {
                EXPECT_FALSE(overlap(items[i].rect, items[j].rect)) << items[i].name << " and " << items[j].name;
            }
        }
    }
}

TEST(Layout, holdsEveryWindowControlTheLogicNamesAndOnlyFramesHoldOthers) {
    for (Control control : {Control::txtConnName, Control::comalg, Control::Check1, Control::Check4, Control::Option1,
                            Control::checkHD, Control::txtHD, Control::Command3, Control::Frame1, Control::Frame5}) {
        EXPECT_EQ(layoutItem(control).control, control);
    }
    EXPECT_EQ(layoutItem(Control::Option1, 1).caption, std::string("PP&TP"));
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
