// What the window's behaviour needs of the real window beyond its controls (which it reaches
// through the ControlSurface): the tray icon, the other instance, centring, restoring, ending, and
// what Windows is told while the end of its session waits for the program.
#pragma once

#include <string>

#include "ui/tray_state.h"

namespace velmora {

class FormHost {
public:
    virtual ~FormHost() = default;

    // True when another instance of the program is already running.
    virtual bool anotherInstanceRunning() = 0;

    // Adds the tray icon (the image of a link not connected, callback message 2025) with an
    // empty tip.
    virtual void trayIconAdd() = 0;
    // Sets the tray icon's image and tip.
    virtual void trayIconShow(TrayImage image, const std::string& tip) = 0;
    // Removes the tray icon.
    virtual void trayIconRemove() = 0;
    // Shows a balloon with the text at the tray icon, under the program's name, with the warning
    // sign or the information sign; nothing where the shell has no balloons.
    virtual void trayBalloon(const std::string& text, bool warning) = 0;

    // Shows or hides the window itself (hidden, it lives on as the tray icon).
    virtual void showWindow(bool visible) = 0;
    // Centres the window on the screen.
    virtual void centreOnScreen() = 0;
    // Sends the window the system command "restore" (WM_SYSCOMMAND, SC_RESTORE).
    virtual void sendRestore() = 0;
    // Gives the window the input focus.
    virtual void focus() = 0;
    // Brings the window, or the box it has open, in front of other programs' windows.
    virtual void bringToFront() = 0;

    // While hold is true, Windows (Vista and later) is told why the end of its session waits for
    // the program, so that it does not end the program before its clean-up is done; false lets
    // that go. The unload holds it as well for as long as it runs. Nothing where Windows has no
    // such call.
    virtual void holdEndOfSession(bool hold) = 0;

    // Closes the window: Form_QueryUnload (UnloadMode::byProgram) and Form_Unload run, then the
    // program ends.
    virtual void unload() = 0;
    // Ends the program without Form_Unload (a second instance, a restart needed), once the
    // current event has returned.
    virtual void endProgram() = 0;
};

}  // namespace velmora
