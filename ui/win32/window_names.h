// How the main window's parts are known to Windows: window class, control and menu command
// numbers, timer numbers and the tray callback message. A test driver finds them the same way.
#pragma once

#include <cstddef>

#include "ui/layout.h"

namespace velmora {

inline constexpr const wchar_t* kMainWindowClass = L"VelmoraMainWindow";

// Held by the running program: one running copy per user session.
inline constexpr const wchar_t* kInstanceMutexName = L"VelmoraVpnDialer.Form1";

// The tray icon reports its mouse messages to the window with this message number.
constexpr unsigned kTrayCallbackMessage = 2025;

// Above the numbers the dialog keys send (IDOK for Enter, IDCANCEL for Escape).
constexpr int kFirstControlId = 1000;
constexpr int kFirstMenuCommandId = 2000;

constexpr int kTimer1Id = 1;
constexpr int kTimer2Id = 2;
constexpr int kMakeRestTimerId = 3;  // the window's own: the controls of hidden frames, made once idle

// Child-window number of a control: its place in the layout table after kFirstControlId.
inline int controlId(Control control, int index = 0) {
    const LayoutItem& item = layoutItem(control, index);
    return kFirstControlId + static_cast<int>(&item - layoutItems().data());
}

// Command number of a tray menu item: its place in the menu after kFirstMenuCommandId.
constexpr int menuCommandId(std::size_t position) {
    return kFirstMenuCommandId + static_cast<int>(position);
}

}  // namespace velmora
