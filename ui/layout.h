// The main window's design: every control with its kind, frame, caption, place in twips,
// tab order and input rules, and the tray menu's items. Portable, so the tests can read it.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/profile/control_surface.h"

namespace velmora {

// A rectangle in twips (1440 to the inch), relative to the control's container.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

enum class ControlKind {
    frame,
    textBox,
    comboEditable,  // typed text with a drop-down list
    comboList,      // a choice from the list only
    optionButton,
    checkBox,
    button,
    label,
    picture,
};

// A field with a drop-down list.
constexpr bool isCombo(ControlKind kind) {
    return kind == ControlKind::comboEditable || kind == ControlKind::comboList;
}

// What the window shows for every character of a masked box.
constexpr char kPasswordChar = '*';

struct LayoutItem {
    const char* name;
    int index;                       // index in a control array; 0 for a single control
    std::optional<Control> control;  // how the logic names it, when it does
    ControlKind kind;
    std::optional<Control> container;  // the frame holding it; none for the window itself
    const char* caption;               // caption or initial text, UTF-8; "&" marks its access key
    TwipsRect rect;
    // Place in the tab order, which is also the controls' order from front to back: the window's
    // reading order, each frame read whole where it stands, and a label just before the control it
    // names, which its access key then reaches. -1: not in the tab order.
    int tabIndex;
    int maxChars;  // 0: no limit
    bool masked;   // shows kPasswordChar for every character
    bool enabled;  // at design time
};

constexpr std::size_t kLayoutItemCount = 39;

// The access key a caption marks with "&" (an ASCII letter or digit, in upper case), if any; "&&"
// stands for an ampersand.
std::optional<char> accessKey(const char* caption);

// Every control in design order.
const std::array<LayoutItem, kLayoutItemCount>& layoutItems();

// The items that have a place in the tab order (labels and frames among them), in that order.
std::vector<const LayoutItem*> tabOrder();

// The item of a control (of index 0 in a control array).
const LayoutItem& layoutItem(Control control, int index = 0);

// Where a control sits at design time, relative to its container.
TwipsRect designRect(Control control);

// The window's caption and its client area at design time, in twips.
inline constexpr const char* kWindowCaption = "Velmora";
constexpr int kClientWidthTwips = 8625;
constexpr int kClientHeightTwips = 8295;

// Caption of every message box.
inline constexpr const char* kMessageCaption = "Velmora-VPN";

// Interval of both timers.
constexpr int kTimerIntervalMs = 5000;

// The tray's popup menu, in order; a separator has no caption and no control.
struct TrayMenuItem {
    const char* name;
    const char* caption;
    std::optional<Control> control;  // the logic switches its enabled, visible and checked states
};

constexpr std::size_t kTrayMenuItemCount = 9;
const std::array<TrayMenuItem, kTrayMenuItemCount>& trayMenuItems();

constexpr int kTwipsPerInch = 1440;

// Twips to pixels at a display's dots per inch, rounded to the nearest pixel.
int twipsToPixels(int twips, int dpi);
// Pixels to twips at a display's dots per inch.
int pixelsToTwips(int pixels, int dpi);

}  // namespace velmora
