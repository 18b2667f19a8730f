// The main window's controls as the logic sees them: the Win32 window implements this with
// real controls, the tests in memory. The connection profile lives here and nowhere else.
#pragma once

#include <string>
#include <vector>

namespace velmora {

enum class Control {
    // The connection profile, in the order of the settings file.
    txtConnName,
    txtpeer,
    txtpeermask,
    txtlocal,
    txtpreshare,
    comalg,
    txtServerAddress,
    txtUserName,
    txtPasswd,
    Check1,
    Check2,
    Check3,
    Option1,
    checkHD,
    txtpeer2,
    txtpeermask2,
    // Not stored.
    txtHD,
    Check4,
    // Commands, frames, timers and the tray menu items that follow them.
    Command1,
    Command2,
    Command3,
    Frame1,
    Frame2,
    Frame5,
    lblStatus,  // the status line under the banner
    Timer1,
    Timer2,
    menuOn,
    menuOff,
    menuL2tp,
    mnuTrayRestore,
    mnuTrayLogon,  // checked while the start at logon is set
};

// Window states as the window reports them.
enum class WindowState { normal = 0, minimised = 1, maximised = 2 };

// What a message box tells, which its sign shows: something failed, something the user should
// look at, or how it went.
enum class MessageSign { error, warning, information };

class ControlSurface {
public:
    virtual ~ControlSurface() = default;

    // Current text of a text box or combo box (UTF-8), exactly as typed.
    virtual std::string text(Control control) const = 0;
    // Replaces the text; for the list-only comalg, selects the item with that text or none.
    virtual void setText(Control control, const std::string& text) = 0;

    // Check box: 0 off, 1 on, 2 greyed. Option1: index of the selected button.
    virtual int value(Control control) const = 0;
    // Sets the value and nothing else: click reactions are run by the logic, not here.
    virtual void setValue(Control control, int value) = 0;

    virtual bool enabled(Control control) const = 0;
    virtual void setEnabled(Control control, bool enabled) = 0;

    virtual bool visible(Control control) const = 0;
    virtual void setVisible(Control control, bool visible) = 0;

    // The drop-down list of a combo box, in list order.
    virtual std::vector<std::string> listItems(Control control) const = 0;
    // Appends an item at the end of the list.
    virtual void addListItem(Control control, const std::string& item) = 0;

    // Modal message box: the text, OK only, its sign, caption "Velmora-VPN". Returns when closed.
    virtual void showMessage(const std::string& text, MessageSign sign) = 0;

    // Gives a text box the keyboard focus with its text selected, for the user to correct it;
    // while the window is hidden in the tray, the focus waits there for the window's return.
    virtual void setFocus(Control control) = 0;

    virtual WindowState windowState() const = 0;
    virtual void setWindowState(WindowState state) = 0;

    // The field holds a value the administrator fixed: the user can no longer change it (a text
    // box stays readable, anything else is switched off whatever enables it later); code still
    // sets its value.
    virtual void fixByAdministrator(Control control) = 0;
    // The window's outer height in twips.
    virtual int height() const = 0;
    virtual void setHeight(int twips) = 0;
};

}  // namespace velmora
