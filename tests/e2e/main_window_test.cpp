// The real main window under Wine, driven as the user and as the window's behaviour would:
// the layout at the display's DPI, the controls behind ControlSurface, the tray icon and its
// menu, message boxes, and which Win32 events reach FormEvents.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "platform/win32/text_codec.h"
#include "tests/e2e/session_end_reasons.h"
#include "tests/e2e/window_under_test.h"
#include "ui/layout.h"
#include "ui/win32/window_names.h"

namespace velmora {
namespace {

using testing::eventually;
using testing::WindowUnderTest;
using Calls = std::vector<std::string>;

// The DPI the test run set up for the display (96 unless told otherwise).
int expectedDpi() {
    const char* dpi = std::getenv("VELMORA_EXPECT_DPI");
    return dpi != nullptr ? std::atoi(dpi) : 96;
}

HWND childAt(HWND window, std::size_t position) {
    return GetDlgItem(window, kFirstControlId + static_cast<int>(position));
}

std::size_t positionOf(const LayoutItem& item) {
    return static_cast<std::size_t>(&item - layoutItems().data());
}

bool takesFocus(const LayoutItem& item) {
    return item.tabIndex >= 0 && item.kind != ControlKind::frame && item.kind != ControlKind::label;
}

// The window's thread's focus, as the control of the layout that holds it.
HWND focusedControl(const WindowUnderTest& w) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(w.threadId(), &info);
    HWND focused = info.hwndFocus;
    // An editable combo box's typing field is a child of the combo box.
    if (focused != nullptr && GetParent(focused) != w.driver().window()) {
        focused = GetParent(focused);
    }
    return focused;
}

class MainWindowTest : public ::testing::Test {
protected:
    WindowUnderTest w;
};

// --- Layout --------------------------------------------------------------------------------

TEST_F(MainWindowTest, measuresWithTheDisplaysDpi) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), expectedDpi());
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), expectedDpi());
    ReleaseDC(nullptr, screen);

    RECT client{};
    GetClientRect(w.driver().window(), &client);
    EXPECT_EQ(client.right, twipsToPixels(kClientWidthTwips, expectedDpi()));
    EXPECT_EQ(client.bottom, twipsToPixels(kClientHeightTwips, expectedDpi()));
    EXPECT_EQ(w.driver().caption(), "Velmora");
}

TEST_F(MainWindowTest, everyControlSitsAtItsDesignPlace) {
    const int dpi = expectedDpi();
    for (const LayoutItem& item : layoutItems()) {
        SCOPED_TRACE(std::string(item.name) + "(" + std::to_string(item.index) + ")");
        HWND control = childAt(w.driver().window(), positionOf(item));
        ASSERT_NE(control, nullptr);
        RECT place{};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, w.driver().window(), reinterpret_cast<POINT*>(&place), 2);
        int left = twipsToPixels(item.rect.left, dpi);
        int top = twipsToPixels(item.rect.top, dpi);
        if (item.container) {
            left += twipsToPixels(designRect(*item.container).left, dpi);
            top += twipsToPixels(designRect(*item.container).top, dpi);
        }
        EXPECT_EQ(place.left, left);
        EXPECT_EQ(place.top, top);
        EXPECT_EQ(place.right - place.left, twipsToPixels(item.rect.width, dpi));
        // A closed combo box is as high as its font makes its field.
        if (!isCombo(item.kind)) {
            EXPECT_EQ(place.bottom - place.top, twipsToPixels(item.rect.height, dpi));
        }
    }
}

TEST_F(MainWindowTest, showsEveryCaptionAndInitialText) {
    for (const LayoutItem& item : layoutItems()) {
        SCOPED_TRACE(item.name);
        HWND control = childAt(w.driver().window(), positionOf(item));
        if (item.kind == ControlKind::comboList || item.kind == ControlKind::picture) {
            EXPECT_EQ(GetWindowTextLengthW(control), 0);
        } else {
            EXPECT_EQ(narrow([&] {
                          wchar_t text[128] = {};
                          GetWindowTextW(control, text, 128);
                          return std::wstring(text);
                      }()),
                      item.caption);
        }
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, item.enabled);
    }
    EXPECT_EQ(w.driver().checked(Control::Option1, 1), BST_CHECKED);
    EXPECT_EQ(w.driver().checked(Control::Option1, 0), BST_UNCHECKED);
}

TEST_F(MainWindowTest, drawsItsTextInAFontWithSimplifiedChinese) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(w.driver().control(Control::Command1), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    for (std::size_t i = 0; i < kLayoutItemCount; ++i) {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(childAt(w.driver().window(), i), WM_GETFONT, 0, 0)), font)
            << layoutItems()[i].name;
    }
    // The font the mapper really chose can draw GB2312, not only the one asked for.
    HDC dc = GetDC(w.driver().window());
    HGDIOBJ previous = SelectObject(dc, font);
    EXPECT_EQ(GetTextCharset(dc), GB2312_CHARSET);
    SIZE extent{};
    GetTextExtentPoint32W(dc, L"连接", 2, &extent);
    EXPECT_GT(extent.cx, 0);
    SelectObject(dc, previous);
    ReleaseDC(w.driver().window(), dc);
}

std::string nameOf(const WindowUnderTest& w, HWND control) {
    const auto found = std::find_if(layoutItems().begin(), layoutItems().end(), [&](const LayoutItem& item) {
        return childAt(w.driver().window(), positionOf(item)) == control;
    });
    return found == layoutItems().end() ? "?" : std::string(found->name) + std::to_string(found->index);
}

TEST_F(MainWindowTest, tabMovesThroughTheControlsInTabOrder) {
    // Of a group of option buttons, Tab stops only at the selected one.
    std::vector<const LayoutItem*> expected;
    for (const LayoutItem* item : tabOrder()) {
        const bool unselectedOption = item->kind == ControlKind::optionButton && item->index != kProtocolPptp;
        if (takesFocus(*item) && item->enabled && !unselectedOption) {
            expected.push_back(item);
        }
    }
    HWND first = childAt(w.driver().window(), positionOf(*expected.front()));
    w.onWindowThread([&] { SetFocus(first); });
    std::vector<std::string> visited;
    for (std::size_t step = 0; step < expected.size(); ++step) {
        visited.push_back(nameOf(w, focusedControl(w)));
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(w.threadId(), &info);
        PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_TAB, 0);
        w.settle();
    }
    std::vector<std::string> wanted;
    for (const LayoutItem* item : expected) {
        wanted.push_back(std::string(item->name) + std::to_string(item->index));
    }
    EXPECT_EQ(visited, wanted);
    EXPECT_EQ(focusedControl(w), first) << "Tab from the last wraps to the first";
}

// Alt and an access key, as the keyboard delivers them to the control that has the focus.
void pressAlt(WindowUnderTest& w, char key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(w.threadId(), &info);
    PostMessageW(info.hwndFocus, WM_SYSCHAR, static_cast<WPARAM>(std::tolower(static_cast<unsigned char>(key))),
                 static_cast<LPARAM>(1) << 29);
    w.settle();
}

// A label's key moves the focus to the control it names, with the text selected; a check box's or
// option button's focuses and clicks it, a button's clicks it; a disabled control's does nothing.
TEST_F(MainWindowTest, eachAccessKeyReachesItsControl) {
    const auto items = tabOrder();
    HWND elsewhere = w.driver().control(Control::txtpeermask2);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto key = accessKey(items[i]->caption);
        if (!key) {
            continue;
        }
        const LayoutItem& target = items[i]->kind == ControlKind::label ? *items[i + 1] : *items[i];
        SCOPED_TRACE(std::string("Alt+") + *key + " for " + target.name + std::to_string(target.index));
        HWND control = childAt(w.driver().window(), positionOf(target));
        HWND start = control == elsewhere ? w.driver().control(Control::txtUserName) : elsewhere;
        w.onWindowThread([&] { SetFocus(start); });
        w.events().clear();
        const auto checkedBefore = SendMessageW(control, BM_GETCHECK, 0, 0);
        pressAlt(w, *key);
        if (!target.enabled) {
            EXPECT_NE(focusedControl(w), control);
            EXPECT_EQ(w.events().calls(), Calls{});
            continue;
        }
        EXPECT_EQ(nameOf(w, focusedControl(w)), std::string(target.name) + std::to_string(target.index));
        switch (target.kind) {
        case ControlKind::checkBox:
            EXPECT_NE(SendMessageW(control, BM_GETCHECK, 0, 0), checkedBefore);
            EXPECT_EQ(w.events().calls(), Calls{std::string(target.name) + "_Click"});
            break;
        case ControlKind::optionButton:
            EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), BST_CHECKED);
            break;
        case ControlKind::button:
            EXPECT_EQ(w.events().calls(), Calls{std::string(target.name) + "_Click"});
            break;
        case ControlKind::textBox: {
            DWORD start = 1;
            DWORD end = 0;
            SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u);
            EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(control))) << "the text selected";
            break;
        }
        default:
            break;
        }
    }
}

struct FirstFocusRow {
    const char* userName;
    const char* password;
    const char* server;
    bool advancedOptionsShown;
    std::optional<Control> fixed;
    Control expected;
};

// The window opens in the first field the user still has to fill, or on 连接: a field hidden in a
// frame or fixed by the administrator is passed by.
TEST(MainWindowFirstFocus, isTheFirstFieldStillToFillElseConnect) {
    using C = Control;
    const FirstFocusRow rows[] = {
        {"", "", "203.0.113.10", true, std::nullopt, C::txtUserName},
        {"zhang", "", "203.0.113.10", true, std::nullopt, C::txtPasswd},
        {"zhang", "secret", "0.0.0.0", true, std::nullopt, C::txtServerAddress},
        {"zhang", "secret", "203.0.113.10", true, std::nullopt, C::Command1},
        {"zhang", "secret", "0.0.0.0", false, std::nullopt, C::Command1},
        {"", "", "203.0.113.10", true, C::txtUserName, C::txtPasswd},
    };
    for (const FirstFocusRow& row : rows) {
        SCOPED_TRACE(std::string(row.userName) + "|" + row.password + "|" + row.server + "|" +
                     (row.advancedOptionsShown ? "shown" : "hidden") + (row.fixed ? "|fixed" : ""));
        WindowUnderTest w([&](MainWindow& window, testing::RecordingEvents&) {
            window.setText(C::txtUserName, row.userName);
            window.setText(C::txtPasswd, row.password);
            window.setText(C::txtServerAddress, row.server);
            window.setVisible(C::Frame5, row.advancedOptionsShown);
            if (row.fixed) {
                window.fixByAdministrator(*row.fixed);
            }
        });
        HWND expected = w.driver().control(row.expected);
        EXPECT_TRUE(eventually([&] { return focusedControl(w) == expected; }))
            << "the focus is on " << nameOf(w, focusedControl(w));
    }
}

TEST_F(MainWindowTest, limitsAndMasksWhatIsTyped) {
    for (const LayoutItem& item : layoutItems()) {
        if (item.kind != ControlKind::textBox) {
            continue;
        }
        SCOPED_TRACE(item.name);
        HWND box = childAt(w.driver().window(), positionOf(item));
        const auto limit = static_cast<int>(SendMessageW(box, EM_GETLIMITTEXT, 0, 0));
        if (item.maxChars > 0) {
            EXPECT_EQ(limit, item.maxChars);
        } else {
            EXPECT_GT(limit, 128);
        }
        EXPECT_EQ(SendMessageW(box, EM_GETPASSWORDCHAR, 0, 0), item.masked ? '*' : 0);
    }
    HWND peer = w.driver().control(Control::txtpeer);
    w.onWindowThread([&] { SetWindowTextW(peer, L""); });
    for (int i = 0; i < 20; ++i) {
        PostMessageW(peer, WM_CHAR, '1', 0);
    }
    w.settle();
    EXPECT_EQ(w.driver().text(Control::txtpeer), std::string(15, '1'));
}

TEST_F(MainWindowTest, hasAnEditableEntryNameAListOnlyCipherSuiteAndAHardwareCodeNobodyTypes) {
    const LONG nameStyle = GetWindowLongW(w.driver().control(Control::txtConnName), GWL_STYLE);
    const LONG cipherStyle = GetWindowLongW(w.driver().control(Control::comalg), GWL_STYLE);
    EXPECT_EQ(nameStyle & 3, CBS_DROPDOWN);
    EXPECT_EQ(cipherStyle & 3, CBS_DROPDOWNLIST);
    EXPECT_NE(GetWindowLongW(w.driver().control(Control::txtHD), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_EQ(GetWindowLongW(w.driver().control(Control::txtUserName), GWL_STYLE) & ES_READONLY, 0);
}

TEST_F(MainWindowTest, carriesItsOwnIconAndBanner) {
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongW(w.driver().window(), GCL_HICON)), &info));
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    // A colour icon keeps its colour plane apart from the mask.
    ASSERT_NE(info.hbmColor, nullptr);
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof(colour), &colour);
    EXPECT_EQ(colour.bmWidth, 32);
    EXPECT_EQ(colour.bmHeight, 32);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

    HBITMAP banner = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(2), IMAGE_BITMAP,
                                                     0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(banner, nullptr);
    DIBSECTION section{};
    GetObjectW(banner, sizeof(section), &section);
    // A 256-colour picture in the proportions of its control, which shows it without squeezing.
    EXPECT_EQ(section.dsBm.bmBitsPixel, 8);
    const auto image = std::find_if(layoutItems().begin(), layoutItems().end(),
                                    [](const LayoutItem& item) { return item.kind == ControlKind::picture; });
    ASSERT_NE(image, layoutItems().end());
    EXPECT_EQ(section.dsBm.bmWidth * image->rect.height, section.dsBm.bmHeight * image->rect.width);
    EXPECT_GE(section.dsBm.bmWidth, twipsToPixels(image->rect.width, 120)) << "no enlargement up to 120 DPI";
    DeleteObject(banner);
}

// --- The controls behind ControlSurface ----------------------------------------------------

TEST_F(MainWindowTest, textsRoundTripInUtf8) {
    w.onWindowThread([&] { w.window().setText(Control::txtUserName, "张三 user"); });
    EXPECT_EQ(w.driver().text(Control::txtUserName), "张三 user");
    w.driver().setText(Control::txtServerAddress, "隧道.example");
    std::string read;
    w.onWindowThread([&] { read = w.window().text(Control::txtServerAddress); });
    EXPECT_EQ(read, "隧道.example");
}

TEST_F(MainWindowTest, theCipherListSelectsOnlyAnExactItem) {
    std::string chosen;
    std::string none;
    std::vector<std::string> items;
    w.onWindowThread([&] {
        for (const char* suite : {"ESP-DES", "ESP-3DES", "ESP-DES-MD5"}) {
            w.window().addListItem(Control::comalg, suite);
        }
        w.window().setText(Control::comalg, "ESP-3DES");
        chosen = w.window().text(Control::comalg);
        w.window().setText(Control::comalg, "esp-des");
        none = w.window().text(Control::comalg);
        items = w.window().listItems(Control::comalg);
    });
    EXPECT_EQ(chosen, "ESP-3DES");
    EXPECT_EQ(none, "");
    EXPECT_EQ(items, (std::vector<std::string>{"ESP-DES", "ESP-3DES", "ESP-DES-MD5"}));
}

TEST_F(MainWindowTest, theEntryNameKeepsTypedTextBesideItsList) {
    std::vector<std::string> items;
    std::string typed;
    w.onWindowThread([&] {
        w.window().addListItem(Control::txtConnName, "办公室");
        w.window().addListItem(Control::txtConnName, "corvinaltexum");
        w.window().setText(Control::txtConnName, "not listed");
        items = w.window().listItems(Control::txtConnName);
        typed = w.window().text(Control::txtConnName);
    });
    EXPECT_EQ(items, (std::vector<std::string>{"办公室", "corvinaltexum"}));
    EXPECT_EQ(typed, "not listed");
}

TEST_F(MainWindowTest, settingACheckBoxRaisesNothingButTheUsersClickDoes) {
    const std::vector<std::pair<Control, std::string>> boxes = {{Control::Check1, "Check1_Click"},
                                                                {Control::Check2, "Check2_Click"},
                                                                {Control::Check3, "Check3_Click"},
                                                                {Control::Check4, "Check4_Click"},
                                                                {Control::checkHD, "checkHD_Click"}};
    for (const auto& [box, handler] : boxes) {
        SCOPED_TRACE(handler);
        w.settle();
        w.events().clear();
        int value = -1;
        w.onWindowThread([&] {
            w.window().setValue(box, 1);
            value = w.window().value(box);
        });
        w.settle();
        EXPECT_EQ(value, 1);
        EXPECT_EQ(w.events().calls(), Calls{});

        ASSERT_TRUE(w.driver().click(box));
        EXPECT_EQ(w.events().calls(), Calls{handler});
        EXPECT_EQ(w.driver().checked(box), BST_UNCHECKED) << "the click has set the new value before the handler";
    }
}

TEST_F(MainWindowTest, buttonsReportClicksOnlyWhileTheyCanBeClicked) {
    EXPECT_TRUE(w.driver().click(Control::Command1));
    EXPECT_TRUE(w.driver().click(Control::Command2));
    EXPECT_FALSE(w.driver().click(Control::Command3)) << "disabled at start";
    w.onWindowThread([&] { w.window().setEnabled(Control::Command3, true); });
    EXPECT_TRUE(w.driver().click(Control::Command3));
    EXPECT_EQ(w.events().count("Command1_Click"), 1);
    EXPECT_EQ(w.events().count("Command2_Click"), 1);
    EXPECT_EQ(w.events().count("Command3_Click"), 1);
}

// 连接 is the default button: Enter in either field of the credentials presses it, while it can be.
TEST_F(MainWindowTest, enterInTheUserNameOrPasswordPressesConnect) {
    for (Control field : {Control::txtUserName, Control::txtPasswd}) {
        w.onWindowThread([&] { SetFocus(w.driver().control(field)); });
        PostMessageW(w.driver().control(field), WM_KEYDOWN, VK_RETURN, 0);
        w.settle();
    }
    EXPECT_EQ(w.events().count("Command1_Click"), 2);
    w.onWindowThread([&] { w.window().setEnabled(Control::Command1, false); });
    w.onWindowThread([&] { SetFocus(w.driver().control(Control::txtPasswd)); });
    PostMessageW(w.driver().control(Control::txtPasswd), WM_KEYDOWN, VK_RETURN, 0);
    w.settle();
    EXPECT_EQ(w.events().count("Command1_Click"), 2) << "a disabled 连接 is not pressed";
    EXPECT_NE(GetWindowLongW(w.driver().control(Control::Command1), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
}

TEST_F(MainWindowTest, theTwoOptionButtonsAreOneChoice) {
    int value = -1;
    w.onWindowThread([&] {
        w.window().setValue(Control::Option1, 0);
        value = w.window().value(Control::Option1);
    });
    EXPECT_EQ(value, 0);
    EXPECT_EQ(w.driver().checked(Control::Option1, 1), BST_UNCHECKED);

    ASSERT_TRUE(w.driver().click(Control::Option1, 1));
    w.onWindowThread([&] { value = w.window().value(Control::Option1); });
    EXPECT_EQ(value, 1);
    EXPECT_EQ(w.driver().checked(Control::Option1, 0), BST_UNCHECKED);
}

TEST_F(MainWindowTest, aHiddenFrameHidesWhatItHoldsWithoutChangingTheirOwnState) {
    bool ownVisible = false;
    w.onWindowThread([&] {
        w.window().setVisible(Control::Frame5, false);
        ownVisible = w.window().visible(Control::txtpeer);
    });
    EXPECT_FALSE(w.driver().visible(Control::Frame5));
    EXPECT_FALSE(w.driver().visible(Control::txtpeer));
    EXPECT_FALSE(w.driver().visible(Control::Option1, 1));
    EXPECT_TRUE(ownVisible);
    EXPECT_TRUE(w.driver().visible(Control::txtUserName)) << "another frame's control";

    w.onWindowThread([&] {
        w.window().setVisible(Control::txtpeermask, false);
        w.window().setVisible(Control::Frame5, true);
    });
    EXPECT_TRUE(w.driver().visible(Control::txtpeer));
    EXPECT_FALSE(w.driver().visible(Control::txtpeermask));

    w.onWindowThread([&] { w.window().setEnabled(Control::txtpeer, false); });
    EXPECT_FALSE(w.driver().enabled(Control::txtpeer));
}

TEST_F(MainWindowTest, trayItemsAndTimersStartAsDesigned) {
    std::vector<bool> states;
    w.onWindowThread([&] {
        for (Control c : {Control::mnuTrayRestore, Control::menuOn, Control::menuOff, Control::menuL2tp}) {
            states.push_back(w.window().enabled(c));
            states.push_back(w.window().visible(c));
        }
        states.push_back(w.window().enabled(Control::Timer1));
        states.push_back(w.window().enabled(Control::Timer2));
    });
    EXPECT_EQ(states, (std::vector<bool>{true, true, true, true, true, true, true, false, false, false}));
}

TEST_F(MainWindowTest, timersTickOnlyWhileEnabled) {
    w.onWindowThread([&] { w.window().setEnabled(Control::Timer2, true); });
    ASSERT_TRUE(eventually([&] { return w.events().count("Timer2_Timer") == 1; }, 12000));
    EXPECT_EQ(w.events().count("Timer1_Timer"), 0);

    w.onWindowThread([&] { w.window().setEnabled(Control::Timer2, false); });
    w.events().clear();
    EXPECT_FALSE(eventually([&] { return w.events().count("Timer2_Timer") > 0; }, 7000));
}

TEST_F(MainWindowTest, heightIsTheOuterHeightInTwips) {
    const int dpi = expectedDpi();
    int height = 0;
    w.onWindowThread([&] {
        w.window().setHeight(3405);
        height = w.window().height();
    });
    RECT outer{};
    GetWindowRect(w.driver().window(), &outer);
    EXPECT_EQ(outer.bottom - outer.top, twipsToPixels(3405, dpi));
    EXPECT_EQ(height, pixelsToTwips(twipsToPixels(3405, dpi), dpi));
    EXPECT_LT(std::abs(height - 3405), 1440 / dpi + 1);
}

TEST_F(MainWindowTest, windowStatesAreReportedAndReachFormResize) {
    WindowState state = WindowState::normal;
    w.events().clear();
    w.onWindowThread([&] {
        w.window().setWindowState(WindowState::minimised);
        state = w.window().windowState();
    });
    EXPECT_EQ(state, WindowState::minimised);
    EXPECT_TRUE(IsIconic(w.driver().window()));
    EXPECT_GE(w.events().count("Form_Resize"), 1);

    w.events().clear();
    w.onWindowThread([&] {
        w.window().setWindowState(WindowState::normal);
        state = w.window().windowState();
    });
    EXPECT_EQ(state, WindowState::normal);
    EXPECT_GE(w.events().count("Form_Resize"), 1);
}

TEST_F(MainWindowTest, aMessageBoxIsModalWithOkOnlyAndTheSignOfWhatItTells) {
    const std::pair<MessageSign, LPCWSTR> signs[] = {{MessageSign::error, IDI_HAND},
                                                     {MessageSign::warning, IDI_EXCLAMATION},
                                                     {MessageSign::information, IDI_ASTERISK}};
    for (const auto& [sign, icon] : signs) {
        SCOPED_TRACE(static_cast<int>(sign));
        w.onWindowThreadLater([&, sign = sign] { w.window().showMessage("拨号成功！", sign); });
        const auto box = w.driver().waitForMessageBox();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, "拨号成功！");
        EXPECT_EQ(GetWindow(box->window, GW_OWNER), w.driver().window());
        EXPECT_FALSE(IsWindowEnabled(w.driver().window())) << "the window waits for the box";

        int buttons = 0;
        HICON shown = nullptr;
        for (HWND child = GetWindow(box->window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[16] = {};
            GetClassNameW(child, name, 16);
            if (IsWindowVisible(child) && std::wstring(name) == L"Button") {
                ++buttons;
            }
            if (IsWindowVisible(child) && std::wstring(name) == L"Static" && shown == nullptr) {
                shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            }
        }
        EXPECT_EQ(buttons, 1);
        EXPECT_NE(GetDlgItem(box->window, IDOK), nullptr);
        EXPECT_EQ(shown, LoadIconW(nullptr, icon));

        EXPECT_TRUE(w.driver().answerMessageBox("拨号成功！"));
        EXPECT_TRUE(eventually([&] { return IsWindowEnabled(w.driver().window()) != FALSE; }));
    }
}

// --- What the window offers the behaviour: FormHost ----------------------------------------

TEST_F(MainWindowTest, aSecondCopyFindsTheFirstRunning) {
    bool first = true;
    w.onWindowThread([&] { first = w.window().anotherInstanceRunning(); });
    EXPECT_FALSE(first);
    MainWindow second(GetModuleHandleW(nullptr));
    EXPECT_TRUE(second.anotherInstanceRunning());
}

std::string tipOf(const TrayIconRecord& record) {
    return std::string(record.szTip, sizeof(record.szTip));
}

TEST_F(MainWindowTest, theTrayIconIsDescribedByTheOldestRecord) {
    w.onWindowThread([&] {
        w.window().trayIconAdd();
        w.window().trayIconShow(TrayImage::connected, "IPSec Over L2tp");
        w.window().trayIconRemove();
    });
    const auto calls = w.trayCalls();
    ASSERT_EQ(calls.size(), 3u);
    const HICON icon = w.window().trayImage(TrayImage::notConnected);
    ASSERT_NE(icon, nullptr);
    const TrayIconRecord& added = calls[0].record;
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(added.cbSize, 88u);
    EXPECT_EQ(added.hWnd, w.driver().window());
    EXPECT_EQ(added.uID, 0u);
    EXPECT_EQ(added.uFlags, 3u);
    EXPECT_EQ(added.uCallbackMessage, 2025u);
    EXPECT_EQ(added.hIcon, icon);
    EXPECT_EQ(tipOf(added), std::string(64, '\0')) << "no tip until one is set";

    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls[1].record.uFlags, 6u);
    EXPECT_EQ(tipOf(calls[1].record), std::string("IPSec Over L2tp") + '\0' + std::string(48, ' '));
    EXPECT_EQ(calls[1].record.hIcon, w.window().trayImage(TrayImage::connected));

    EXPECT_EQ(calls[2].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(calls[2].record.uFlags, 0u);
    EXPECT_EQ(tipOf(calls[2].record), tipOf(calls[1].record)) << "the record persists between calls";
}

TEST_F(MainWindowTest, aLongTipIsCutWithoutSplittingACharacter) {
    std::string tip;
    for (int i = 0; i < 40; ++i) {
        tip += "拨";  // two bytes each in code page 936
    }
    w.onWindowThread([&] {
        w.window().trayIconAdd();
        w.window().trayIconShow(TrayImage::notConnected, tip);
    });
    const std::string field = tipOf(w.trayCalls().back().record);
    EXPECT_EQ(field.find('\0'), 62u);
    EXPECT_EQ(ansiToUtf8(field.substr(0, 62)), tip.substr(0, 31 * 3));
    EXPECT_EQ(field[63], ' ');
}

// An icon's pixels as 32-bit colours, row by row.
std::vector<DWORD> pixelsOf(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return {};
    }
    BITMAP size{};
    GetObjectW(info.hbmColor, sizeof size, &size);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size.bmWidth;
    format.bmiHeader.biHeight = -size.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<std::size_t>(size.bmWidth) * static_cast<std::size_t>(size.bmHeight));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, static_cast<UINT>(size.bmHeight), pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return pixels;
}

TEST_F(MainWindowTest, theThreeStateImagesDiffer) {
    const auto notConnected = pixelsOf(w.window().trayImage(TrayImage::notConnected));
    const auto working = pixelsOf(w.window().trayImage(TrayImage::working));
    const auto connected = pixelsOf(w.window().trayImage(TrayImage::connected));
    ASSERT_EQ(notConnected.size(), static_cast<std::size_t>(GetSystemMetrics(SM_CXSMICON) * GetSystemMetrics(SM_CYSMICON)));
    EXPECT_NE(notConnected, working);
    EXPECT_NE(working, connected);
    EXPECT_NE(notConnected, connected);
}

TEST_F(MainWindowTest, theIconComesBackInItsStateWhenTheTaskBarIsRecreated) {
    w.onWindowThread([&] {
        w.window().trayIconAdd();
        w.window().trayIconShow(TrayImage::connected, "IPSec Over L2tp\n已连接 10.10.10.4");
    });
    SendMessageW(w.driver().window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    const auto calls = w.trayCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[2].record.uFlags, 3u);
    EXPECT_EQ(calls[2].record.hIcon, w.window().trayImage(TrayImage::connected));
    EXPECT_EQ(calls[3].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(ansiToUtf8(tipOf(calls[3].record).substr(0, tipOf(calls[3].record).find('\0'))),
              "IPSec Over L2tp\n已连接 10.10.10.4");

    w.onWindowThread([&] { w.window().trayIconRemove(); });
    SendMessageW(w.driver().window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(w.trayCalls().size(), 5u) << "a removed icon stays removed";
}

TEST_F(MainWindowTest, onlyADoubleClickAndARightButtonReleaseOnTheIconAct) {
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MOUSEMOVE}) {
        w.driver().trayMouse(mouse);
    }
    w.driver().trayMouse(WM_LBUTTONDBLCLK);
    w.settle();
    EXPECT_EQ(w.events().calls(), (Calls{"Form_Load", "Form_Activate", "trayIcon_DblClick"}));
}

struct MenuRow {
    std::string caption;
    bool grayed;
    bool checked = false;
    bool operator==(const MenuRow& other) const {
        return caption == other.caption && grayed == other.grayed && checked == other.checked;
    }
};

void PrintTo(const MenuRow& row, std::ostream* out) {
    *out << row.caption << (row.grayed ? " (grayed)" : "") << (row.checked ? " (checked)" : "");
}

// The open popup menu's items; readable only from the program's own process.
std::vector<MenuRow> menuRows(HWND menuWindow) {
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    std::vector<MenuRow> rows;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        wchar_t caption[32] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), caption, 32, MF_BYPOSITION);
        const bool separator = (state & MF_SEPARATOR) != 0;
        rows.push_back({separator ? "-" : narrow(caption), !separator && (state & MF_GRAYED) != 0,
                        (state & MF_CHECKED) != 0});
    }
    return rows;
}

TEST_F(MainWindowTest, theTrayMenuShowsItsItemsInOrderInTheForeground) {
    HWND menu = w.driver().openTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuRows(menu), (std::vector<MenuRow>{{"还原", false}, {"连接", false}, {"停止", false},
                                                    {"连接状态", false}, {"查看日志", false}, {"登录时启动", false},
                                                    {"-", false},
                                                    {"退出", false}}));
    EXPECT_EQ(GetForegroundWindow(), w.driver().window()) << "or the menu would not close on a click elsewhere";
    w.driver().dismissMenu(menu);
    EXPECT_TRUE(eventually([&] { return !IsWindowVisible(menu); }));
    w.settle();
    EXPECT_EQ(w.events().calls(), (Calls{"Form_Load", "Form_Activate"}));
}

// Null messages the window's thread took from its queue for the main window.
std::atomic<int> nullMessages{0};
HWND watchedWindow = nullptr;

LRESULT CALLBACK countNullMessages(int code, WPARAM wParam, LPARAM lParam) {
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_NULL && msg->hwnd == watchedWindow) {
        ++nullMessages;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, aNullMessageFollowsTheTrayMenuSoThatTheNextOneOpens) {
    watchedWindow = w.driver().window();
    HHOOK hook = nullptr;
    w.onWindowThread([&] { hook = SetWindowsHookExW(WH_GETMESSAGE, countNullMessages, nullptr, w.threadId()); });
    ASSERT_NE(hook, nullptr);
    nullMessages = 0;
    for (int time = 0; time < 2; ++time) {
        HWND menu = w.driver().openTrayMenu();
        ASSERT_NE(menu, nullptr) << "menu " << time;
        w.driver().dismissMenu(menu);
        EXPECT_TRUE(eventually([&] { return !IsWindowVisible(menu); }));
        w.settle();
    }
    EXPECT_EQ(nullMessages.load(), 2);
    w.onWindowThread([&] { UnhookWindowsHookEx(hook); });
}

TEST_F(MainWindowTest, theTrayMenuHonoursTheItemsStates) {
    w.onWindowThread([&] {
        w.window().setVisible(Control::menuL2tp, true);
        w.window().setEnabled(Control::menuOff, false);
        w.window().setEnabled(Control::mnuTrayRestore, false);
        w.window().setValue(Control::mnuTrayLogon, 1);
    });
    HWND menu = w.driver().openTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menuRows(menu), (std::vector<MenuRow>{{"还原", true},
                                                    {"连接", false},
                                                    {"停止", true},
                                                    {"重新连接", false},
                                                    {"连接状态", false},
                                                    {"查看日志", false},
                                                    {"登录时启动", false, true},
                                                    {"-", false},
                                                    {"退出", false}}));
    w.driver().dismissMenu(menu);
    EXPECT_TRUE(eventually([&] { return !IsWindowVisible(menu); }));
}

TEST_F(MainWindowTest, eachTrayMenuItemReachesItsHandler) {
    w.onWindowThread([&] { w.window().setVisible(Control::menuL2tp, true); });
    const std::vector<std::string> handlers = {"mnuTrayRestore_Click", "menuOn_Click", "menuOff_Click",
                                               "menuL2tp_Click", "mnuTrayStatus_Click", "mnuTrayLog_Click",
                                               "mnuTrayLogon_Click",
                                               "mnuTrayClose_Click"};
    for (std::size_t row = 0; row < handlers.size(); ++row) {
        SCOPED_TRACE(handlers[row]);
        w.events().clear();
        HWND menu = w.driver().openTrayMenu();
        ASSERT_NE(menu, nullptr);
        w.driver().chooseMenuRow(menu, static_cast<int>(row));
        EXPECT_TRUE(eventually([&] { return w.events().count(handlers[row]) == 1; })) << "row " << row;
        EXPECT_EQ(w.events().calls().size(), 1u);
    }
}

TEST_F(MainWindowTest, centresOnTheScreen) {
    w.onWindowThread([&] {
        w.window().setHeight(3405);
        w.window().centreOnScreen();
    });
    RECT outer{};
    GetWindowRect(w.driver().window(), &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
}

TEST_F(MainWindowTest, focusPutsTheKeyboardIntoTheWindow) {
    w.onWindowThread([&] {
        SetFocus(nullptr);
        w.window().focus();
    });
    HWND focused = focusedControl(w);
    EXPECT_TRUE(focused != nullptr && IsChild(w.driver().window(), focused));
}

TEST_F(MainWindowTest, theRestoreCommandBringsBackAWindowHiddenInTheTray) {
    w.onWindowThread([&] {
        w.window().setWindowState(WindowState::minimised);
        w.window().showWindow(false);
    });
    EXPECT_FALSE(IsWindowVisible(w.driver().window()));
    w.events().clear();
    w.onWindowThread([&] { w.window().sendRestore(); });
    EXPECT_FALSE(IsIconic(w.driver().window()));
    EXPECT_TRUE(IsWindowVisible(w.driver().window()));
    w.settle();
    EXPECT_GE(w.events().count("Form_Resize"), 1);
    EXPECT_EQ(w.events().count("Form_Activate"), 1) << "shown again, the window is activated anew";
}

TEST_F(MainWindowTest, startsWithLoadThenOneActivation) {
    w.settle();
    EXPECT_EQ(w.events().calls(), (Calls{"Form_Load", "Form_Activate"}));
    EXPECT_TRUE(IsWindowVisible(w.driver().window()));

    // A closing message box hands the activation back without a new Form_Activate.
    w.onWindowThreadLater([&] { w.window().showMessage("该操作将挂断当前连接！", MessageSign::warning); });
    ASSERT_TRUE(w.driver().answerMessageBox("该操作将挂断当前连接！"));
    w.settle();
    EXPECT_EQ(w.events().count("Form_Activate"), 1);
}

TEST_F(MainWindowTest, closingTheWindowUnloadsOnceAndEnds) {
    PostMessageW(w.driver().window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(eventually([&] { return w.ended(); }));
    EXPECT_EQ(w.events().calls(),
              (Calls{"Form_Load", "Form_Activate", "Form_QueryUnload 0", "Form_Unload"}));
}

// The program's end answers the boxes still open, which would otherwise keep it running for nobody,
// and opens no more.
TEST_F(MainWindowTest, theProgramsEndAnswersTheBoxesStillOpen) {
    w.onWindowThreadLater([&] {
        w.window().showMessage("拨号成功！", MessageSign::information);
        w.window().showMessage("该操作将挂断当前连接！", MessageSign::warning);
    });
    ASSERT_TRUE(w.driver().waitForMessageBox().has_value());
    PostMessageW(w.driver().window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(eventually([&] { return w.ended(); }));
    EXPECT_TRUE(w.driver().messageBoxes().empty());
}

TEST(MainWindowLifecycle, theTrayItemUnloadsThroughTheHost) {
    WindowUnderTest w([](MainWindow& window, testing::RecordingEvents& events) {
        events.reactions["mnuTrayClose_Click"] = [&window] { window.unload(); };
    });
    HWND menu = w.driver().openTrayMenu();
    ASSERT_NE(menu, nullptr);
    w.driver().chooseLastMenuRow(menu);
    ASSERT_TRUE(eventually([&] { return w.ended(); }));
    EXPECT_EQ(w.events().calls(), (Calls{"Form_Load", "Form_Activate", "mnuTrayClose_Click",
                                         "Form_QueryUnload 1", "Form_Unload"}));
}

TEST(MainWindowLifecycle, endingTheProgramDuringLoadNeverShowsTheWindow) {
    WindowUnderTest w([](MainWindow& window, testing::RecordingEvents& events) {
        events.reactions["Form_Load"] = [&window] {
            window.showMessage("该程序已经运行！", MessageSign::information);
            window.endProgram();
        };
    });
    ASSERT_TRUE(w.driver().answerMessageBox("该程序已经运行！"));
    ASSERT_TRUE(eventually([&] { return w.ended(); }));
    EXPECT_FALSE(IsWindowVisible(w.driver().window()));
    EXPECT_EQ(w.events().calls(), Calls{"Form_Load"});
}

TEST(MainWindowLifecycle, aClickWhoseHandlerAsksTheUserWaitsForTheAnswer) {
    WindowUnderTest w([](MainWindow& window, testing::RecordingEvents& events) {
        events.reactions["Command1_Click"] = [&window] {
            window.showMessage("拨号失败！请检查L2TP参数重新拨号！", MessageSign::error);
        };
    });
    ASSERT_TRUE(w.driver().clickLater(Control::Command1));
    ASSERT_TRUE(w.driver().answerMessageBox("拨号失败！请检查L2TP参数重新拨号！"));
    EXPECT_EQ(w.events().count("Command1_Click"), 1);
}

TEST(MainWindowLifecycle, anIconStillShownWhenTheProgramEndsGoesWithTheWindow) {
    WindowUnderTest w([](MainWindow& window, testing::RecordingEvents& events) {
        events.reactions["Form_Load"] = [&window] {
            window.trayIconAdd();
            window.endProgram();
        };
    });
    ASSERT_TRUE(eventually([&] { return w.ended(); }));
    w.finish();
    const auto calls = w.trayCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_DELETE));
}

// --- The end of the Windows session ---------------------------------------------------------

constexpr const wchar_t* kShutDownReasonText = L"Velmora VPN 正在断开连接并撤销IPSec策略，请稍候。";

// Registered while the behaviour holds it (so that Windows waits for the clean-up of a program
// hidden in the tray) and for the span of the unload, one registration that no holder lets go of
// while another still holds it; the session may still end.
TEST(MainWindowEndOfSession, theReasonIsRegisteredWhileTheBehaviourOrTheUnloadHoldsIt) {
    for (const bool heldBefore : {true, false}) {
        SCOPED_TRACE(heldBefore ? "held by the behaviour" : "not held before the close");
        testing::SessionEndReasons reasons;
        std::vector<bool> registered;  // in Form_QueryUnload, in Form_EndSession, after it, after letting go
        HWND handle = nullptr;
        const auto note = [&] { registered.push_back(reasons.reason(handle).has_value()); };
        WindowUnderTest w([&](MainWindow& window, testing::RecordingEvents& events) {
            handle = window.handle();
            events.reactions["Form_QueryUnload 0"] = note;
            events.reactions["Form_EndSession"] = note;
            events.reactions["Form_Unload"] = [&] {
                SendMessageW(handle, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
                note();
                window.holdEndOfSession(false);
                note();
            };
        });
        EXPECT_EQ(reasons.reason(handle), std::nullopt);
        if (heldBefore) {
            w.onWindowThread([&] {
                w.window().holdEndOfSession(true);
                w.window().holdEndOfSession(true);
            });
            EXPECT_EQ(reasons.reason(handle), std::optional<std::wstring>(kShutDownReasonText));
            DWORD_PTR answer = FALSE;
            ASSERT_TRUE(SendMessageTimeoutW(handle, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &answer));
            EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
        }
        PostMessageW(handle, WM_CLOSE, 0, 0);
        ASSERT_TRUE(eventually([&] { return w.ended(); }));
        EXPECT_EQ(registered, (std::vector<bool>{true, true, true, true}));
        EXPECT_EQ(reasons.reason(handle), std::nullopt);
    }
}

// The window's children from the top of the z-order, which is the tab order, by control number.
std::vector<int> childrenInOrder(HWND window) {
    std::vector<int> ids;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}

// The controls of the frames hidden at load are made once the window is idle, holding what the
// logic gave them meanwhile, in the tab order of a start with every frame shown; a frame shown
// before that brings its controls at once.
TEST(MainWindowLifecycle, theControlsOfFramesHiddenAtLoadComeLaterWithWhatTheyWereGiven) {
    std::vector<int> madeAtOnce;
    {
        WindowUnderTest w;
        madeAtOnce = childrenInOrder(w.driver().window());
    }
    std::string suiteBeforeMade;
    bool shownAtActivation = false;
    WindowUnderTest w([&](MainWindow& window, testing::RecordingEvents& events) {
        events.reactions["Form_Load"] = [&] {
            window.setVisible(Control::Frame1, false);
            window.setVisible(Control::Frame5, false);
            window.addListItem(Control::comalg, "ESP-DES");
            window.addListItem(Control::comalg, "ESP-3DES-SHA");
            window.setText(Control::comalg, "ESP-3DES-SHA");
            window.setText(Control::txtpreshare, "共享密钥");
            window.setValue(Control::Option1, kProtocolL2tp);
            suiteBeforeMade = window.text(Control::comalg);
        };
        events.reactions["Form_Activate"] = [&] {
            window.setVisible(Control::Frame5, true);
            shownAtActivation = IsWindowVisible(GetDlgItem(window.handle(), controlId(Control::txtServerAddress))) != 0;
        };
    });
    ASSERT_TRUE(eventually([&] { return w.driver().complete(); }));
    EXPECT_EQ(suiteBeforeMade, "ESP-3DES-SHA");
    EXPECT_TRUE(shownAtActivation);
    EXPECT_EQ(childrenInOrder(w.driver().window()), madeAtOnce);
    EXPECT_EQ(w.driver().text(Control::comalg), "ESP-3DES-SHA");
    EXPECT_EQ(w.driver().text(Control::txtpreshare), "共享密钥");
    EXPECT_EQ(w.driver().checked(Control::Option1, kProtocolL2tp), BST_CHECKED);
    EXPECT_FALSE(w.driver().visible(Control::txtpreshare));
}

// --- Pictures of the window for people to look at ------------------------------------------

// Photographs the window from the virtual display into <artefacts>/<name>.png.
bool screenshot(WindowUnderTest& w, const std::string& artefacts, const std::string& name) {
    w.onWindowThread([&] {
        RedrawWindow(w.driver().window(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
    });
    return testing::screenshot(w.driver().window(), artefacts + "/" + name + ".png");
}

TEST(MainWindowScreenshot, afterStartUpAndWithTheAdvancedOptions) {
    const char* artefacts = std::getenv("VELMORA_ARTEFACTS");
    if (artefacts == nullptr) {
        GTEST_SKIP() << "VELMORA_ARTEFACTS names no folder for the pictures";
    }
    const std::string dpi = std::to_string(expectedDpi());
    WindowUnderTest w;
    const TwipsRect frame2 = designRect(Control::Frame2);
    w.onWindowThread([&] {
        MainWindow& window = w.window();
        for (const char* suite : kCipherSuites) {
            window.addListItem(Control::comalg, suite);
        }
        window.setText(Control::comalg, "ESP-DES-MD5");
        window.setText(Control::txtUserName, "zhangsan");
        window.setText(Control::txtPasswd, "secret");
        window.centreOnScreen();
    });
    // Every control, as designed.
    EXPECT_TRUE(screenshot(w, artefacts, "window-" + dpi + "dpi-layout"));

    // What start-up leaves visible, as the window's behaviour arranges it.
    w.onWindowThread([&] {
        MainWindow& window = w.window();
        for (Control hidden : {Control::Check1, Control::Check2, Control::Check3, Control::Frame5, Control::Frame1}) {
            window.setVisible(hidden, false);
        }
        window.setHeight(frame2.top + frame2.height + 750);
        window.centreOnScreen();
    });
    EXPECT_TRUE(screenshot(w, artefacts, "window-" + dpi + "dpi-start"));

    w.onWindowThread([&] {
        w.window().setValue(Control::Check4, kChecked);
        w.window().setVisible(Control::Frame5, true);
        w.window().setHeight(frame2.top + frame2.height + 4000);
    });
    EXPECT_TRUE(screenshot(w, artefacts, "window-" + dpi + "dpi-advanced"));
}

}  // namespace
}  // namespace velmora
