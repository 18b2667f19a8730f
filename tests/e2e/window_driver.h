// Drives velmora's main window from another thread or process, as a user would: finds the
// window, reads and sets its controls, clicks, uses the tray icon and its popup menu, and
// answers the program's message boxes by their text.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/control_surface.h"

namespace velmora::testing {

// True as soon as condition holds, polling for up to timeoutMs; false if it never did.
bool eventually(const std::function<bool()>& condition, int timeoutMs = 5000);

// Photographs a window from the virtual display into a PNG file (a Unix path); true once the
// file is complete.
bool screenshot(HWND window, const std::string& pngPath);

struct MessageBoxSeen {
    HWND window;
    std::string text;
};

class WindowDriver {
public:
    explicit WindowDriver(HWND window) : window_(window) {}

    // The main window of the process (of any process when 0), once it and all its controls exist
    // or a message box of start-up waits for an answer.
    static std::optional<WindowDriver> find(DWORD processId, int timeoutMs);
    // All its controls exist: those of the frames hidden at start-up come once it is idle.
    bool complete() const;
    bool waitsForAnAnswer() const;

    HWND window() const { return window_; }
    DWORD processId() const;
    HWND control(Control control, int index = 0) const;

    std::string caption() const;
    std::string text(Control control, int index = 0) const;
    void setText(Control control, const std::string& text) const;
    int checked(Control control, int index = 0) const;
    bool enabled(Control control, int index = 0) const;
    bool visible(Control control, int index = 0) const;
    // Clicks a button, check box or option button as the mouse would and returns once its
    // handler has run; false, clicking nothing, when the user could not click it (hidden or
    // disabled).
    bool click(Control control, int index = 0) const;
    // The same without waiting, for a handler that opens a message box.
    bool clickLater(Control control, int index = 0) const;

    // A mouse message of the tray icon, as the shell reports it (WM_LBUTTONDBLCLK, WM_RBUTTONUP...).
    void trayMouse(UINT mouseMessage) const;
    // Right-clicks the tray icon and waits for the popup menu; its window, or null.
    HWND openTrayMenu(int timeoutMs = 5000) const;
    // Chooses an item of the open menu with the keyboard: row counts the items shown, from 0,
    // separators not counted.
    void chooseMenuRow(HWND menu, int row) const;
    // The last row (退出), wherever the rows above it stand.
    void chooseLastMenuRow(HWND menu) const;
    // Closes the open menu with Escape.
    void dismissMenu(HWND menu) const;

    // The program's open message boxes: its "#32770" windows captioned "Velmora-VPN".
    std::vector<MessageBoxSeen> messageBoxes() const;
    std::optional<MessageBoxSeen> waitForMessageBox(int timeoutMs = 5000) const;
    // Waits for the message box with exactly this text, presses OK and waits for it to close.
    bool answerMessageBox(const std::string& text, int timeoutMs = 5000) const;

private:
    bool userCanClick(HWND control) const;

    HWND window_;
};

}  // namespace velmora::testing
