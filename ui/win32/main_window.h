// Form1 as a real Win32 window: every control of the layout, the timers, the tray icon and its
// popup menu. The logic reaches the controls through ControlSurface and the rest through
// FormHost; every Win32 event goes to a FormEvents, on the window's one thread.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/control_surface.h"
#include "platform/win32/address_change_watch.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "ui/form_events.h"
#include "ui/form_host.h"
#include "ui/layout.h"
#include "ui/win32/gdi_object.h"
#include "ui/win32/session_end_reason.h"
#include "ui/win32/tray_icon.h"

namespace velmora {

class MainWindow : public ControlSurface, public FormHost {
public:
    // Creates the window, hidden, sized for the display's DPI; its controls come when it is shown,
    // those it keeps hidden once it is idle. The instance holds the icon and the banner.
    explicit MainWindow(HINSTANCE instance, TrayIcon::Notify trayNotify = {});
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The program's life: Form_Load, then (unless the program ended there) the window shown
    // with showCommand and its messages dispatched until the program ends. Shown minimised, the
    // program starts in the tray, and with connect it then connects as a script's /connect
    // would. Returns the exit code.
    int run(FormEvents& events, int showCommand, bool connect = false);

    HWND handle() const { return window_; }
    // The tray icon's image for a state of the link.
    HICON trayImage(TrayImage image) const { return trayImages_[static_cast<std::size_t>(image)]; }

    // ControlSurface
    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    int value(Control control) const override;
    void setValue(Control control, int value) override;
    bool enabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    bool visible(Control control) const override;
    void setVisible(Control control, bool visible) override;
    std::vector<std::string> listItems(Control control) const override;
    void addListItem(Control control, const std::string& item) override;
    void fixByAdministrator(Control control) override;
    void showMessage(const std::string& text, MessageSign sign) override;
    void setFocus(Control control) override;
    WindowState windowState() const override;
    void setWindowState(WindowState state) override;
    int height() const override;
    void setHeight(int twips) override;

    // FormHost
    bool anotherInstanceRunning() override;
    void trayIconAdd() override;
    void trayIconShow(TrayImage image, const std::string& tip) override;
    void trayIconRemove() override;
    void trayBalloon(const std::string& text, bool warning) override;
    void showWindow(bool visible) override;
    void centreOnScreen() override;
    void sendRestore() override;
    void bringToFront() override;
    void focus() override;
    void holdEndOfSession(bool hold) override;
    void unload() override;
    void endProgram() override;

private:
    int dispatchUntilEnd();
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Which of the controls not made yet makeControls makes: those the window shows, or all.
    enum class Made { shown, all };
    void makeControls(Made which);
    bool allMade() const;
    void onCommand(int id, int notification);
    void onClick(Control control);
    void onMenuCommand(std::size_t position);
    void onActivate(bool active);
    void onTrayMouse(LPARAM mouseMessage);
    // A command another start handed over: the exit code plus one, 0 when it is not taken.
    LRESULT onScriptCommand(HWND sender, const COPYDATASTRUCT& data);
    void unloadFor(UnloadMode mode);
    void showTrayMenu();
    // The program's open message box, if any.
    HWND openMessageBox() const;
    // Where the keyboard focus goes when the window gets it: the control that had it last when
    // that can still take it, else the first field the user still has to fill or 连接 (firstFocus),
    // else the first control that can take it.
    HWND focusTarget() const;
    // Gives a control the focus as the keyboard moves it there (WM_NEXTDLGCTL).
    void moveFocus(HWND control);
    void drawBanner(const DRAWITEMSTRUCT& item) const;

    // Where a control of the layout table is, and the windows it is drawn as.
    std::size_t position(Control control, int index = 0) const;
    HWND child(Control control, int index = 0) const { return children_[position(control, index)]; }
    // Every place of a control in the layout table (two for a control array).
    std::vector<std::size_t> positionsOf(Control control) const;
    // Shows and enables a child as its own state and its frame's say.
    void applyState(std::size_t position);
    // ... for a control, and for everything in it when it is a frame.
    void applyStates(Control control);
    std::optional<std::size_t> menuPosition(Control control) const;
    // A check box's or option button's state, made or not.
    int checkOf(Control control, int index) const;
    void setCheck(Control control, int index, int check);
    std::optional<int> timerId(Control control) const;

    int dpiX_;
    int dpiY_;
    HICON icon_;
    std::array<HICON, 3> trayImages_;  // by TrayImage
    GdiObject<HFONT> font_;
    GdiObject<HBITMAP> banner_;
    // Vista's and 7's calls for the end of the session and the shell's messages.
    SystemLibrary user32_{L"user32.dll"};
    HWND window_ = nullptr;
    HINSTANCE instance_;
    // Held by the behaviour's own holdEndOfSession and for the span of each unload.
    SessionEndReason endOfSession_;
    bool holdingEndOfSession_ = false;
    std::array<HWND, kLayoutItemCount> children_{};  // null for a control not made yet
    // What a control not made yet holds, as the logic set it.
    struct Unmade {
        std::wstring text;
        int check = BST_UNCHECKED;
        std::vector<std::wstring> items;
        int selected = -1;
    };
    std::array<Unmade, kLayoutItemCount> unmade_{};
    std::array<bool, kLayoutItemCount> ownEnabled_{};
    std::array<bool, kLayoutItemCount> ownVisible_{};
    std::array<bool, kLayoutItemCount> fixed_{};  // fixed by the administrator
    std::array<bool, kTrayMenuItemCount> menuEnabled_{};
    std::array<bool, kTrayMenuItemCount> menuVisible_{};
    std::array<bool, kTrayMenuItemCount> menuChecked_{};
    std::array<bool, 2> timerEnabled_{};
    HWND lastFocus_ = nullptr;
    WPARAM lastSizeKind_ = SIZE_RESTORED;  // the last WM_SIZE's kind and client size
    LPARAM lastSize_ = 0;
    UINT taskbarCreated_ = 0;
    TrayIcon tray_;
    AddressChangeWatch addressChanges_;
    std::optional<UniqueHandle> instanceMutex_;
    bool ownsInstance_ = false;  // this is the one running instance

    FormEvents* events_ = nullptr;
    bool loaded_ = false;            // Form_Load has returned: the window reports resizing
    bool activeSinceShown_ = false;  // activated since it was last shown
    bool unloading_ = false;
    bool ending_ = false;
    bool trayMenuOpen_ = false;
    bool resumePosted_ = false;  // a resume's look is waiting in the queue
    int messageBoxesOpen_ = 0;
};

}  // namespace velmora
