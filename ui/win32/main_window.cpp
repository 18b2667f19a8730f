#include "ui/win32/main_window.h"

#include <algorithm>

#include "core/profile/conn_profile.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_event_loop.h"
#include "ui/first_focus.h"
#include "ui/win32/resource_ids.h"
#include "ui/win32/script_channel.h"
#include "ui/win32/window_names.h"

namespace velmora {

namespace {

// Posted to itself by a start with /connect, so that Connect runs from the message loop.
constexpr UINT kConnectAtStartMessage = WM_APP + 1;
// Posted to itself when the computer resumes: the link watch may dial, and Windows' power
// broadcast should not wait for that.
constexpr UINT kResumedMessage = WM_APP + 2;

// Not WS_CLIPCHILDREN: the window paints the inside of the frames, which paint only their
// edges and captions.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Room for the drop-down list below a combo box's field, in field heights.
constexpr int kComboListFields = 8;

void registerWindowClass(HINSTANCE instance, HICON icon, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    // A second window in the same process finds the class already there.
    (void)RegisterClassExW(&windowClass);
}

// The notification area draws small icons: the image of that size, not a larger one shrunk.
HICON loadSmallIcon(HINSTANCE instance, int id) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0));
}

int screenDpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    (void)ReleaseDC(nullptr, screen);
    return dpi;
}

// SimSun by its own name and the GB2312 character set: the font mapper then picks a font
// that draws Simplified Chinese on any Windows that has one.
HFONT createFont(int dpiY) {
    return CreateFontW(-MulDiv(9, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

struct ChildClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ChildClass childClass(const LayoutItem& item) {
    switch (item.kind) {
    case ControlKind::frame:
        // Transparent: the labels under a frame still show through it.
        return {L"BUTTON", BS_GROUPBOX, WS_EX_TRANSPARENT};
    case ControlKind::textBox:
        // The hardware code is computed, never typed: whatever it holds goes in front of the password.
        return {L"EDIT",
                ES_AUTOHSCROLL | (item.masked ? ES_PASSWORD : 0u) |
                    (item.control == Control::txtHD ? static_cast<DWORD>(ES_READONLY) : 0u),
                WS_EX_CLIENTEDGE};
    case ControlKind::comboEditable:
        return {L"COMBOBOX", WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::comboList:
        return {L"COMBOBOX", WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::optionButton:
        return {L"BUTTON", BS_AUTORADIOBUTTON, 0};
    case ControlKind::checkBox:
        return {L"BUTTON", BS_AUTOCHECKBOX, 0};
    case ControlKind::button:
        // 连接 is the default button: Enter in the user name or password presses it.
        return {L"BUTTON",
                item.control == Control::Command1 ? static_cast<DWORD>(BS_DEFPUSHBUTTON)
                                                  : static_cast<DWORD>(BS_PUSHBUTTON),
                0};
    case ControlKind::label:
        // A label that names a control shows its access key; any other shows its text as it is.
        return {L"STATIC", SS_LEFT | (accessKey(item.caption) ? 0u : static_cast<DWORD>(SS_NOPREFIX)), 0};
    case ControlKind::picture:
        return {L"STATIC", SS_OWNERDRAW, 0};
    }
    return {L"STATIC", 0, 0};
}

// Only a control in the tab order stops Tab.
DWORD tabStop(const LayoutItem& item) {
    const bool focusable = item.kind != ControlKind::frame && item.kind != ControlKind::label &&
                           item.kind != ControlKind::picture;
    return focusable && item.tabIndex >= 0 ? static_cast<DWORD>(WS_TABSTOP) : 0u;
}

// Creation order is the z-order and so the tab order: Windows tabs through sibling windows in
// the order they were made, a frame must come before what it holds, and a label's access key
// moves the focus to the first control after it.
// Those without a place in the tab order come last.
std::vector<std::size_t> creationOrder() {
    const auto& items = layoutItems();
    std::vector<std::size_t> order;
    for (const LayoutItem* item : tabOrder()) {
        order.push_back(static_cast<std::size_t>(item - items.data()));
    }
    for (std::size_t at = 0; at < items.size(); ++at) {
        if (items[at].tabIndex < 0) {
            order.push_back(at);
        }
    }
    return order;
}

struct MessageBoxSearch {
    HWND owner;
    HWND found;
};

// Finds a dialog window (a message box) owned by the window searched for.
BOOL CALLBACK findOwnedDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<MessageBoxSearch*>(context);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (GetWindow(window, GW_OWNER) == search->owner && std::wstring(name) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Answers a message box owned by the window, as its OK button would: its modal loop ends at once,
// or, for a box beneath another, as soon as control comes back to it.
BOOL CALLBACK answerOwnedDialog(HWND window, LPARAM owner) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (GetWindow(window, GW_OWNER) == reinterpret_cast<HWND>(owner) && std::wstring(name) == L"#32770") {
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

// What Windows shows while the program holds the end of the session up (Vista and later).
constexpr const wchar_t* kShutDownReason = L"Velmora VPN 正在断开连接并撤销IPSec策略，请稍候。";

// Owns a menu handle for the span of one popup.
class PopupMenu {
public:
    PopupMenu() : menu_(CreatePopupMenu()) {}
    ~PopupMenu() { (void)DestroyMenu(menu_); }
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    HMENU get() const { return menu_; }

private:
    HMENU menu_;
};

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, TrayIcon::Notify trayNotify)
    : dpiX_(screenDpi(LOGPIXELSX)),
      dpiY_(screenDpi(LOGPIXELSY)),
      icon_(LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELMORA))),
      trayImages_{loadSmallIcon(instance, IDI_TRAY_IDLE), loadSmallIcon(instance, IDI_TRAY_BUSY),
                  loadSmallIcon(instance, IDI_TRAY_UP)},
      font_(createFont(dpiY_)),
      banner_(static_cast<HBITMAP>(
          LoadImageW(instance, MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
      instance_(instance),
      endOfSession_(user32_, kShutDownReason),
      tray_(std::move(trayNotify)) {
    registerWindowClass(instance, icon_, windowProc);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");

    RECT frame{0, 0, twipsToPixels(kClientWidthTwips, dpiX_), twipsToPixels(kClientHeightTwips, dpiY_)};
    (void)AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    window_ = CreateWindowExW(0, kMainWindowClass, widen(kWindowCaption).c_str(), kWindowStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              instance, this);
    RECT client{};
    GetClientRect(window_, &client);
    lastSize_ = MAKELPARAM(client.right, client.bottom);
    const auto& items = layoutItems();
    for (std::size_t i = 0; i < kLayoutItemCount; ++i) {
        ownVisible_[i] = true;
        ownEnabled_[i] = items[i].enabled;
        unmade_[i].text = items[i].kind == ControlKind::comboList ? std::wstring() : widen(items[i].caption);
    }
    setValue(Control::Option1, designTimeProfile().Option1);

    menuEnabled_.fill(true);
    menuVisible_.fill(true);
    menuVisible_[*menuPosition(Control::menuL2tp)] = false;
}

MainWindow::~MainWindow() {
    // A program that ends without removing its icon leaves a dead one in the notification
    // area until the mouse passes over it.
    if (tray_.shown()) {
        tray_.remove();
    }
    if (window_ != nullptr) {
        (void)DestroyWindow(window_);
    }
    for (HICON image : trayImages_) {
        (void)DestroyIcon(image);
    }
}

void MainWindow::makeControls(Made which) {
    const auto& items = layoutItems();
    const auto order = creationOrder();
    HWND above = HWND_TOP;  // the sibling a new control goes below, keeping the order of creation
    bool madeAny = false;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t at = order[k];
        const LayoutItem& item = items[at];
        if (children_[at] != nullptr) {
            above = children_[at];
            continue;
        }
        if (which == Made::shown && !(ownVisible_[at] && (!item.container || ownVisible_[position(*item.container)]))) {
            continue;
        }
        ChildClass cls = childClass(item);
        cls.style |= tabStop(item);
        // Every control starts a group of its own, except the later buttons of one option
        // group, between which the arrow keys move.
        const LayoutItem* previous = k > 0 ? &items[order[k - 1]] : nullptr;
        const bool inSameOptionGroup = item.kind == ControlKind::optionButton && previous != nullptr &&
                                       previous->kind == ControlKind::optionButton &&
                                       std::string(previous->name) == item.name;
        if (!inSameOptionGroup) {
            cls.style |= WS_GROUP;
        }

        int left = twipsToPixels(item.rect.left, dpiX_);
        int top = twipsToPixels(item.rect.top, dpiY_);
        if (item.container) {
            const TwipsRect frame = designRect(*item.container);
            left += twipsToPixels(frame.left, dpiX_);
            top += twipsToPixels(frame.top, dpiY_);
        }
        const int width = twipsToPixels(item.rect.width, dpiX_);
        int height = twipsToPixels(item.rect.height, dpiY_);
        if (isCombo(item.kind)) {
            height *= kComboListFields;
        }
        // What the logic gave the control before it was made.
        const Unmade& held = unmade_[at];
        const std::wstring caption = isCombo(item.kind) ? std::wstring() : held.text;
        HWND control = CreateWindowExW(cls.exStyle, cls.name, caption.c_str(), WS_CHILD | cls.style, left, top, width,
                                       height, window_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + at)), instance_,
                                       nullptr);
        (void)SetWindowPos(control, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = control;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        if (item.maxChars > 0) {
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(item.maxChars), 0);
        }
        if (item.masked) {
            SendMessageW(control, EM_SETPASSWORDCHAR, static_cast<WPARAM>(kPasswordChar), 0);
        }
        for (const std::wstring& entry : held.items) {
            SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        if (item.kind == ControlKind::comboList) {
            SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(held.selected), 0);
        } else if (item.kind == ControlKind::comboEditable) {
            SetWindowTextW(control, held.text.c_str());
        } else if (item.kind == ControlKind::checkBox || item.kind == ControlKind::optionButton) {
            SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(held.check), 0);
        }
        unmade_[at] = Unmade{};
        children_[at] = control;
        applyState(at);
        madeAny = true;
    }
    if (madeAny && allMade()) {
        (void)KillTimer(window_, kMakeRestTimerId);
    }
}

bool MainWindow::allMade() const {
    return std::find(children_.begin(), children_.end(), nullptr) == children_.end();
}

int MainWindow::run(FormEvents& events, int showCommand, bool connect) {
    events_ = &events;
    events.Form_Load();
    int exitCode = 0;
    if (!ending_) {
        loaded_ = true;
        // What the window shows is made before it is shown; the controls it keeps hidden for
        // now wait for the first moment it has nothing else to do.
        makeControls(Made::shown);
        if (!allMade()) {
            SetTimer(window_, kMakeRestTimerId, USER_TIMER_MINIMUM, nullptr);
        }
        ShowWindow(window_, showCommand);
        UpdateWindow(window_);
        // The first showing counts as an activation even where Windows keeps another
        // program in the foreground; a start in the tray too, so that the link watch runs.
        if (IsIconic(window_) && !IsWindowVisible(window_)) {
            events.Form_Activate();
        } else if (!activeSinceShown_ && IsWindowVisible(window_) && !IsIconic(window_)) {
            activeSinceShown_ = true;
            events.Form_Activate();
        }
        if (connect) {
            PostMessageW(window_, kConnectAtStartMessage, 0, 0);
        }
        exitCode = dispatchUntilEnd();
    }
    events_ = nullptr;
    return exitCode;
}

// Waits for messages and for a change of the computer's addresses, which goes to the events as
// soon as no message is waiting.
int MainWindow::dispatchUntilEnd() {
    MSG msg;
    while (!ending_) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                return static_cast<int>(msg.wParam);
            }
            // The dialog manager gives the window Tab, Shift+Tab and the arrow keys.
            if (!IsDialogMessageW(window_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (ending_) {
                return 0;
            }
        }
        HANDLE changed = addressChanges_.event();
        const DWORD woke = MsgWaitForMultipleObjects(changed != nullptr ? 1 : 0, &changed, FALSE, INFINITE, kWakeMask);
        if (changed != nullptr && woke == WAIT_OBJECT_0) {
            addressChanges_.rearm();
            if (events_ != nullptr) {
                events_->addressesChanged();
            }
        } else if (woke == WAIT_FAILED) {
            return 1;
        }
    }
    return 0;
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTrayCallbackMessage) {
        onTrayMouse(lParam);
        return 0;
    }
    if (message == kConnectAtStartMessage) {
        if (events_ != nullptr) {
            (void)events_->scriptCommand(ScriptVerb::connect);
        }
        return 0;
    }
    if (message == kResumedMessage) {
        resumePosted_ = false;
        if (events_ != nullptr) {
            events_->systemResumed();
        }
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        tray_.restore();
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kMakeRestTimerId) {
            makeControls(Made::all);
            return 0;
        }
        // A tick queued before its timer was stopped is dropped: a stopped timer never fires.
        // So is one that comes while the tray menu is open: the item the user is about to
        // choose was drawn for the state before the tick.
        if (events_ == nullptr || trayMenuOpen_) {
            return 0;
        }
        if (wParam == kTimer1Id && timerEnabled_[0]) {
            events_->Timer1_Timer();
        } else if (wParam == kTimer2Id && timerEnabled_[1]) {
            events_->Timer2_Timer();
        }
        return 0;
    case WM_ACTIVATE:
        onActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_SETFOCUS:
        if (HWND target = focusTarget()) {
            SetFocus(target);
        }
        return 0;
    case WM_NEXTDLGCTL:
        // The dialog manager's way to a label's control: the focus to the label, then on to the
        // next control in the tab order.
        moveFocus(LOWORD(lParam) != 0 ? reinterpret_cast<HWND>(wParam)
                                      : GetNextDlgTabItem(window_, GetFocus(), wParam != 0));
        return 0;
    case WM_SHOWWINDOW:
        if (wParam == FALSE) {
            activeSinceShown_ = false;
        }
        break;
    case WM_SIZE:
        // Windows repeats WM_SIZE for unchanged sizes (Wine at the first showing); the
        // behaviour hears only of real changes.
        if (wParam != lastSizeKind_ || lParam != lastSize_) {
            lastSizeKind_ = wParam;
            lastSize_ = lParam;
            if (loaded_ && events_ != nullptr) {
                events_->Form_Resize();
            }
        }
        return 0;
    case WM_CLOSE:
        unloadFor(UnloadMode::windowClosed);
        return 0;
    case WM_ENDSESSION:
        // Logging off ends the program as closing the window would. Windows ends the process as
        // soon as this returns, so a shut-down that a close began and that waits beneath is
        // finished here.
        if (wParam != FALSE) {
            if (unloading_) {
                if (events_ != nullptr) {
                    const SessionEndReason::Scoped held(endOfSession_, window_);
                    events_->Form_EndSession();
                }
            } else {
                unloadFor(UnloadMode::sessionEnding);
            }
        }
        return 0;
    case DM_GETDEFID:
        // The dialog manager asks for the default button when Enter is pressed in a field.
        return MAKELRESULT(controlId(Control::Command1), DC_HASDEFID);
    case WM_COPYDATA:
        if (lParam == 0) {
            return 0;
        }
        return onScriptCommand(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_POWERBROADCAST:
        // One resume can bring two of these (the automatic one, then the user's): one look.
        if ((wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMECRITICAL) &&
            !resumePosted_) {
            resumePosted_ = PostMessageW(window_, kResumedMessage, 0, 0) != FALSE;
        }
        return TRUE;
    case WM_DRAWITEM:
        drawBanner(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT MainWindow::onScriptCommand(HWND sender, const COPYDATASTRUCT& data) {
    // Only the instance that runs takes commands: not one that is starting, finds another and ends.
    if (!loaded_ || ending_ || events_ == nullptr || !ownsInstance_) {
        return 0;
    }
    const std::optional<ScriptVerb> verb = acceptedScriptVerb(sender, data);
    if (!verb) {
        return 0;
    }
    return static_cast<LRESULT>(events_->scriptCommand(*verb)) + 1;
}

void MainWindow::onActivate(bool active) {
    if (!active) {
        HWND focused = GetFocus();
        if (focused != nullptr && IsChild(window_, focused)) {
            lastFocus_ = focused;
        }
        return;
    }
    if (!IsIconic(window_)) {
        SetFocus(window_);
    }
    // Activation in the sense of the window's behaviour: the window becomes the active one
    // after it was shown, not each time the user comes back from another program or a
    // message box closes.
    if (loaded_ && !activeSinceShown_ && events_ != nullptr) {
        activeSinceShown_ = true;
        events_->Form_Activate();
    }
}

void MainWindow::onCommand(int id, int notification) {
    const int controlAt = id - kFirstControlId;
    if (controlAt >= 0 && static_cast<std::size_t>(controlAt) < kLayoutItemCount) {
        const LayoutItem& item = layoutItems()[static_cast<std::size_t>(controlAt)];
        // Enter reaches a disabled default button too; a click never does.
        const HWND control = children_[static_cast<std::size_t>(controlAt)];
        if (notification == BN_CLICKED && item.control && IsWindowEnabled(control)) {
            onClick(*item.control);
        }
        return;
    }
    const int menuAt = id - kFirstMenuCommandId;
    if (menuAt >= 0 && static_cast<std::size_t>(menuAt) < kTrayMenuItemCount) {
        onMenuCommand(static_cast<std::size_t>(menuAt));
    }
}

void MainWindow::onClick(Control control) {
    if (events_ == nullptr) {
        return;
    }
    switch (control) {
    case Control::Command1: events_->Command1_Click(); break;
    case Control::Command2: events_->Command2_Click(); break;
    case Control::Command3: events_->Command3_Click(); break;
    case Control::Check1: events_->Check1_Click(); break;
    case Control::Check2: events_->Check2_Click(); break;
    case Control::Check3: events_->Check3_Click(); break;
    case Control::Check4: events_->Check4_Click(); break;
    case Control::checkHD: events_->checkHD_Click(); break;
    default: break;
    }
}

void MainWindow::onMenuCommand(std::size_t position) {
    if (events_ == nullptr) {
        return;
    }
    const TrayMenuItem& item = trayMenuItems()[position];
    if (!item.control) {
        if (std::string(item.name) == "mnuTrayClose") {
            events_->mnuTrayClose_Click();
        } else if (std::string(item.name) == "mnuTrayLog") {
            events_->mnuTrayLog_Click();
        } else if (std::string(item.name) == "mnuTrayStatus") {
            events_->mnuTrayStatus_Click();
        }
        return;
    }
    switch (*item.control) {
    case Control::mnuTrayRestore: events_->mnuTrayRestore_Click(); break;
    case Control::menuOn: events_->menuOn_Click(); break;
    case Control::menuOff: events_->menuOff_Click(); break;
    case Control::menuL2tp: events_->menuL2tp_Click(); break;
    case Control::mnuTrayLogon: events_->mnuTrayLogon_Click(); break;
    default: break;
    }
}

void MainWindow::onTrayMouse(LPARAM mouseMessage) {
    if (mouseMessage != WM_LBUTTONDBLCLK && mouseMessage != WM_RBUTTONUP) {
        return;
    }
    // While a message box waits for its answer the icon brings it forward: no menu, no command
    // that could open a second box on top of it.
    if (HWND box = openMessageBox()) {
        SetForegroundWindow(box);
        return;
    }
    if (mouseMessage == WM_RBUTTONUP) {
        showTrayMenu();
    } else if (events_ != nullptr) {
        events_->trayIcon_DblClick();
    }
}

HWND MainWindow::openMessageBox() const {
    if (messageBoxesOpen_ == 0) {
        return nullptr;
    }
    MessageBoxSearch search{window_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), findOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND MainWindow::focusTarget() const {
    const auto canTakeFocus = [](HWND control) {
        return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
    };
    if (lastFocus_ != nullptr && IsWindow(lastFocus_) && canTakeFocus(lastFocus_)) {
        return lastFocus_;
    }
    const Control start = firstFocus(*this, [&](Control field) {
        return canTakeFocus(child(field)) && (GetWindowLongW(child(field), GWL_STYLE) & ES_READONLY) == 0;
    });
    if (canTakeFocus(child(start))) {
        return child(start);
    }
    for (HWND control = GetWindow(window_, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        if ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0 && canTakeFocus(control)) {
            return control;
        }
    }
    return nullptr;
}

void MainWindow::moveFocus(HWND control) {
    if (control == nullptr) {
        return;
    }
    // A field reached from the keyboard has its text selected, as Tab leaves it.
    if ((SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
    SetFocus(control);
}

void MainWindow::showTrayMenu() {
    if (events_ != nullptr) {
        events_->trayMenu_Opening();
    }
    PopupMenu menu;
    const auto& items = trayMenuItems();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!menuVisible_[i]) {
            continue;
        }
        if (items[i].caption[0] == '\0') {
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu.get(),
                        MF_STRING | (menuEnabled_[i] ? MF_ENABLED : MF_GRAYED) | (menuChecked_[i] ? MF_CHECKED : 0u),
                        static_cast<UINT_PTR>(menuCommandId(i)), widen(items[i].caption).c_str());
        }
    }
    POINT at{};
    GetCursorPos(&at);
    // Without the window in the foreground the menu would not close when the user clicks
    // elsewhere, and without the null message after it the next right-click would fail.
    SetForegroundWindow(window_);
    trayMenuOpen_ = true;
    TrackPopupMenu(menu.get(), 0, at.x, at.y, 0, window_, nullptr);
    trayMenuOpen_ = false;
    PostMessageW(window_, WM_NULL, 0, 0);
}

void MainWindow::drawBanner(const DRAWITEMSTRUCT& item) const {
    BITMAP size{};
    if (banner_.get() == nullptr || GetObjectW(banner_.get(), sizeof(size), &size) == 0) {
        return;
    }
    HDC source = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous = SelectObject(source, banner_.get());
    // The banner is drawn smaller than it is; halftone keeps its lettering legible.
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchBlt(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
               item.rcItem.bottom - item.rcItem.top, source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

bool MainWindow::anotherInstanceRunning() {
    instanceMutex_.emplace(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    ownsInstance_ = GetLastError() != ERROR_ALREADY_EXISTS;
    return !ownsInstance_;
}

void MainWindow::trayIconAdd() {
    tray_.add(window_, trayImage(TrayImage::notConnected), kTrayCallbackMessage);
}

void MainWindow::trayIconShow(TrayImage image, const std::string& tip) {
    tray_.show(trayImage(image), tip);
}

void MainWindow::trayBalloon(const std::string& text, bool warning) {
    tray_.balloon(kMessageCaption, text, warning);
}

void MainWindow::trayIconRemove() {
    tray_.remove();
}

void MainWindow::showWindow(bool visible) {
    ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
}

void MainWindow::centreOnScreen() {
    RECT outer{};
    GetWindowRect(window_, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::sendRestore() {
    SendMessageW(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
}

void MainWindow::bringToFront() {
    SetForegroundWindow(GetLastActivePopup(window_));
}

void MainWindow::focus() {
    // The window itself holding the focus is as bad as another program holding it: typed keys
    // would go nowhere.
    HWND focused = GetFocus();
    if (focused == nullptr || !IsChild(window_, focused) || !IsWindowEnabled(focused)) {
        if (HWND target = focusTarget()) {
            SetFocus(target);
        }
    }
}

void MainWindow::holdEndOfSession(bool hold) {
    if (hold == holdingEndOfSession_) {
        return;
    }
    holdingEndOfSession_ = hold;
    if (hold) {
        endOfSession_.hold(window_);
    } else {
        endOfSession_.release(window_);
    }
}

void MainWindow::unload() {
    unloadFor(UnloadMode::byProgram);
}

void MainWindow::unloadFor(UnloadMode mode) {
    if (unloading_) {
        return;
    }
    unloading_ = true;
    if (events_ != nullptr) {
        const SessionEndReason::Scoped held(endOfSession_, window_);
        events_->Form_QueryUnload(mode);
        events_->Form_Unload();
    }
    endProgram();
}

void MainWindow::endProgram() {
    ending_ = true;
    // Gone at once for the user, while a command under way winds down. A box still open would keep
    // the program running for an answer that no longer matters: each is answered.
    ShowWindow(window_, SW_HIDE);
    EnumThreadWindows(GetCurrentThreadId(), answerOwnedDialog, reinterpret_cast<LPARAM>(window_));
    // Wakes the message loop, which ends once the current event has returned.
    PostMessageW(window_, WM_NULL, 0, 0);
}

}  // namespace velmora
