// The main window's controls as the logic reads and sets them: texts, values, lists, the
// enabled and visible states (a frame's apply to what it holds), window state and height.
#include <windows.h>

#include <algorithm>

#include "platform/win32/text_codec.h"
#include "ui/win32/main_window.h"
#include "ui/win32/window_names.h"

namespace velmora {

namespace {

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring comboItem(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

}  // namespace

std::size_t MainWindow::position(Control control, int index) const {
    return static_cast<std::size_t>(&layoutItem(control, index) - layoutItems().data());
}

std::optional<std::size_t> MainWindow::menuPosition(Control control) const {
    const auto& items = trayMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].control == control) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<int> MainWindow::timerId(Control control) const {
    if (control == Control::Timer1) {
        return kTimer1Id;
    }
    if (control == Control::Timer2) {
        return kTimer2Id;
    }
    return std::nullopt;
}

std::vector<std::size_t> MainWindow::positionsOf(Control control) const {
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < kLayoutItemCount; ++i) {
        if (layoutItems()[i].control == control) {
            positions.push_back(i);
        }
    }
    return positions;
}

void MainWindow::applyStates(Control control) {
    for (std::size_t i = 0; i < kLayoutItemCount; ++i) {
        const LayoutItem& item = layoutItems()[i];
        if (item.control == control || item.container == control) {
            applyState(i);
        }
    }
}

void MainWindow::applyState(std::size_t at) {
    const LayoutItem& item = layoutItems()[at];
    bool shown = ownVisible_[at];
    bool usable = ownEnabled_[at];
    if (item.container) {
        const std::size_t frame = position(*item.container);
        shown = shown && ownVisible_[frame];
        usable = usable && ownEnabled_[frame];
    }
    // A text box the administrator fixed can still be read, selected and copied.
    const bool textBox = item.kind == ControlKind::textBox;
    usable = usable && (textBox || !fixed_[at]);
    if (children_[at] == nullptr) {
        return;
    }
    ShowWindow(children_[at], shown ? SW_SHOWNA : SW_HIDE);
    EnableWindow(children_[at], usable);
    if (textBox && fixed_[at]) {
        SendMessageW(children_[at], EM_SETREADONLY, TRUE, 0);
    }
}

void MainWindow::fixByAdministrator(Control control) {
    if (timerId(control) || menuPosition(control)) {
        return;
    }
    for (const std::size_t at : positionsOf(control)) {
        fixed_[at] = true;
    }
    applyStates(control);
}

std::string MainWindow::text(Control control) const {
    if (timerId(control) || menuPosition(control)) {
        return {};
    }
    if (child(control) == nullptr) {
        const Unmade& held = unmade_[position(control)];
        if (layoutItem(control).kind == ControlKind::comboList) {
            return held.selected >= 0 ? narrow(held.items[static_cast<std::size_t>(held.selected)]) : std::string();
        }
        return narrow(held.text);
    }
    return narrow(windowText(child(control)));
}

void MainWindow::setText(Control control, const std::string& text) {
    if (timerId(control) || menuPosition(control)) {
        return;
    }
    HWND target = child(control);
    if (target == nullptr) {
        Unmade& held = unmade_[position(control)];
        if (layoutItem(control).kind == ControlKind::comboList) {
            const auto found = std::find(held.items.begin(), held.items.end(), widen(text));
            held.selected = found != held.items.end() ? static_cast<int>(found - held.items.begin()) : -1;
        } else {
            held.text = widen(text);
        }
        return;
    }
    if (layoutItem(control).kind == ControlKind::comboList) {
        // Exact and case-sensitive, unlike CB_FINDSTRINGEXACT.
        const std::wstring wanted = widen(text);
        const auto count = static_cast<int>(SendMessageW(target, CB_GETCOUNT, 0, 0));
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i) {
            if (comboItem(target, i) == wanted) {
                found = i;
            }
        }
        SendMessageW(target, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
        return;
    }
    SetWindowTextW(target, widen(text).c_str());
}

int MainWindow::checkOf(Control control, int index) const {
    HWND button = child(control, index);
    return button != nullptr ? static_cast<int>(SendMessageW(button, BM_GETCHECK, 0, 0))
                             : unmade_[position(control, index)].check;
}

void MainWindow::setCheck(Control control, int index, int check) {
    if (HWND button = child(control, index)) {
        SendMessageW(button, BM_SETCHECK, static_cast<WPARAM>(check), 0);
    } else {
        unmade_[position(control, index)].check = check;
    }
}

int MainWindow::value(Control control) const {
    if (const auto menu = menuPosition(control)) {
        return menuChecked_[*menu] ? 1 : 0;
    }
    if (control == Control::Option1) {
        for (int index = 0; index < 2; ++index) {
            if (checkOf(control, index) == BST_CHECKED) {
                return index;
            }
        }
        return -1;
    }
    if (layoutItem(control).kind != ControlKind::checkBox) {
        return 0;
    }
    return checkOf(control, 0);
}

void MainWindow::setValue(Control control, int value) {
    if (const auto menu = menuPosition(control)) {
        menuChecked_[*menu] = value == 1;
        return;
    }
    // BM_SETCHECK notifies nobody: the logic runs the click reactions itself.
    if (control == Control::Option1) {
        for (int index = 0; index < 2; ++index) {
            setCheck(control, index, index == value ? BST_CHECKED : BST_UNCHECKED);
        }
        return;
    }
    if (layoutItem(control).kind == ControlKind::checkBox) {
        setCheck(control, 0, value);
    }
}

bool MainWindow::enabled(Control control) const {
    if (const auto timer = timerId(control)) {
        return timerEnabled_[static_cast<std::size_t>(*timer - 1)];
    }
    if (const auto menu = menuPosition(control)) {
        return menuEnabled_[*menu];
    }
    return ownEnabled_[position(control)];
}

void MainWindow::setEnabled(Control control, bool enabled) {
    if (const auto timer = timerId(control)) {
        bool& running = timerEnabled_[static_cast<std::size_t>(*timer - 1)];
        // Enabling a running timer keeps its rhythm rather than starting the count again.
        if (enabled && !running) {
            SetTimer(window_, static_cast<UINT_PTR>(*timer), kTimerIntervalMs, nullptr);
        } else if (!enabled && running) {
            KillTimer(window_, static_cast<UINT_PTR>(*timer));
        }
        running = enabled;
        return;
    }
    if (const auto menu = menuPosition(control)) {
        menuEnabled_[*menu] = enabled;
        return;
    }
    for (const std::size_t at : positionsOf(control)) {
        ownEnabled_[at] = enabled;
    }
    applyStates(control);
}

bool MainWindow::visible(Control control) const {
    if (timerId(control)) {
        return false;
    }
    if (const auto menu = menuPosition(control)) {
        return menuVisible_[*menu];
    }
    return ownVisible_[position(control)];
}

void MainWindow::setVisible(Control control, bool visible) {
    if (timerId(control)) {
        return;
    }
    if (const auto menu = menuPosition(control)) {
        menuVisible_[*menu] = visible;
        return;
    }
    for (const std::size_t at : positionsOf(control)) {
        ownVisible_[at] = visible;
    }
    applyStates(control);
    // A control or frame shown before the window was idle brings what it shows at once.
    if (visible && loaded_) {
        makeControls(Made::shown);
    }
}

std::vector<std::string> MainWindow::listItems(Control control) const {
    std::vector<std::string> items;
    if (timerId(control) || menuPosition(control) || !isCombo(layoutItem(control).kind)) {
        return items;
    }
    HWND combo = child(control);
    if (combo == nullptr) {
        for (const std::wstring& item : unmade_[position(control)].items) {
            items.push_back(narrow(item));
        }
        return items;
    }
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        items.push_back(narrow(comboItem(combo, i)));
    }
    return items;
}

void MainWindow::addListItem(Control control, const std::string& item) {
    if (timerId(control) || menuPosition(control) || !isCombo(layoutItem(control).kind)) {
        return;
    }
    if (HWND combo = child(control)) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
    } else {
        unmade_[position(control)].items.push_back(widen(item));
    }
}

void MainWindow::showMessage(const std::string& text, MessageSign sign) {
    if (ending_) {
        return;  // nobody is there to answer any more
    }
    const UINT icon = sign == MessageSign::error     ? MB_ICONERROR
                      : sign == MessageSign::warning ? MB_ICONWARNING
                                                     : MB_ICONINFORMATION;
    ++messageBoxesOpen_;
    (void)MessageBoxW(window_, widen(text).c_str(), widen(kMessageCaption).c_str(), MB_OK | icon);
    --messageBoxesOpen_;
}

void MainWindow::setFocus(Control control) {
    if (child(control) == nullptr) {
        makeControls(Made::all);
    }
    HWND field = child(control);
    SendMessageW(field, EM_SETSEL, 0, -1);
    // Where the window puts the focus when it is next activated, also on its return from the tray.
    lastFocus_ = field;
    if (IsWindowVisible(window_) && !IsIconic(window_)) {
        SetFocus(field);
    }
}

WindowState MainWindow::windowState() const {
    if (IsIconic(window_)) {
        return WindowState::minimised;
    }
    return IsZoomed(window_) ? WindowState::maximised : WindowState::normal;
}

void MainWindow::setWindowState(WindowState state) {
    switch (state) {
    case WindowState::minimised:
        // Minimising shows a hidden window: one already in the tray stays there.
        if (IsWindowVisible(window_) || !IsIconic(window_)) {
            ShowWindow(window_, SW_MINIMIZE);
        }
        break;
    case WindowState::maximised:
        ShowWindow(window_, SW_MAXIMIZE);
        break;
    case WindowState::normal:
        if (IsIconic(window_) || IsZoomed(window_)) {
            ShowWindow(window_, SW_RESTORE);
        }
        break;
    }
}

int MainWindow::height() const {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    GetWindowPlacement(window_, &placement);
    RECT outer{};
    GetWindowRect(window_, &outer);
    // A minimised window keeps the height it will come back with.
    const RECT& rect = IsIconic(window_) ? placement.rcNormalPosition : outer;
    return pixelsToTwips(rect.bottom - rect.top, dpiY_);
}

void MainWindow::setHeight(int twips) {
    const int pixels = twipsToPixels(twips, dpiY_);
    if (IsIconic(window_)) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        GetWindowPlacement(window_, &placement);
        placement.rcNormalPosition.bottom = placement.rcNormalPosition.top + pixels;
        placement.showCmd = IsWindowVisible(window_) ? SW_SHOWMINNOACTIVE : SW_HIDE;
        SetWindowPlacement(window_, &placement);
        return;
    }
    RECT outer{};
    GetWindowRect(window_, &outer);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, pixels,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace velmora
