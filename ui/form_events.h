// Everything the real main window reports to the window's behaviour (Form1), always on the
// window's one thread. Names follow the controls: control, underscore, event.
#pragma once

#include "core/system/script_command.h"

namespace velmora {

// Why the window is closing: closed as a window (its close box, Alt+F4, the taskbar), unloaded
// by the program itself (the tray item "退出"), or the Windows session ending.
enum class UnloadMode { windowClosed, byProgram, sessionEnding };

class FormEvents {
public:
    virtual ~FormEvents() = default;

    // Once, after the window and its controls exist and before it is first shown.
    virtual void Form_Load() = 0;
    // Each time the window becomes the active window, the first showing included.
    virtual void Form_Activate() = 0;
    // After the window state or size changed (minimised, restored, maximised).
    virtual void Form_Resize() = 0;
    // Once, just before Form_Unload: why the window is closing.
    virtual void Form_QueryUnload(UnloadMode mode) = 0;
    // Once, when the window is closed (close box or the tray item), before the program ends.
    virtual void Form_Unload() = 0;
    // The Windows session ends while Form_Unload waits beneath (Windows ends the process as soon
    // as the message returns): returns only once the shut-down has finished.
    virtual void Form_EndSession() = 0;

    // The user clicked a button.
    virtual void Command1_Click() = 0;
    virtual void Command2_Click() = 0;
    virtual void Command3_Click() = 0;

    // The user changed a check box (the window has already set its new value).
    virtual void Check1_Click() = 0;
    virtual void Check2_Click() = 0;
    virtual void Check3_Click() = 0;
    virtual void Check4_Click() = 0;
    virtual void checkHD_Click() = 0;

    // A tick of an enabled timer (5000 ms each).
    virtual void Timer1_Timer() = 0;
    virtual void Timer2_Timer() = 0;

    // The computer resumed from sleep or hibernation.
    virtual void systemResumed() = 0;
    // The computer's IPv4 addresses changed.
    virtual void addressesChanged() = 0;

    // The tray icon was double-clicked with the left button.
    virtual void trayIcon_DblClick() = 0;

    // The tray's popup menu is about to open.
    virtual void trayMenu_Opening() = 0;
    // An item of the tray's popup menu was chosen.
    virtual void mnuTrayRestore_Click() = 0;
    virtual void menuOn_Click() = 0;
    virtual void menuOff_Click() = 0;
    virtual void menuL2tp_Click() = 0;
    virtual void mnuTrayStatus_Click() = 0;
    virtual void mnuTrayLog_Click() = 0;
    virtual void mnuTrayLogon_Click() = 0;
    virtual void mnuTrayClose_Click() = 0;

    // A command from the command line of another start (connect, disconnect, status, exit),
    // carried out as the tray's items do; returns once it has ended, with the start's exit code.
    virtual int scriptCommand(ScriptVerb verb) = 0;
};

}  // namespace velmora
