// The reason Windows (Vista and later) shows while the program holds the end of the user's session
// up: one registration for the window, kept for as long as any of its holders needs it.
#pragma once

#include <windows.h>

#include "platform/win32/system_library.h"

namespace velmora {

class SessionEndReason {
public:
    // The calls are looked up in user32 at the first hold; where it has none (Windows 2000 and
    // XP), holding registers nothing and fails nowhere.
    SessionEndReason(SystemLibrary& user32, const wchar_t* reason) : user32_(user32), reason_(reason) {}
    SessionEndReason(const SessionEndReason&) = delete;
    SessionEndReason& operator=(const SessionEndReason&) = delete;

    // One holder more: the first registers the reason for the window.
    void hold(HWND window);
    // One holder fewer: the last destroys the registration.
    void release(HWND window);

    // A holder for as long as it lives.
    class Scoped {
    public:
        Scoped(SessionEndReason& reason, HWND window) : reason_(reason), window_(window) { reason_.hold(window_); }
        ~Scoped() { reason_.release(window_); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        SessionEndReason& reason_;
        HWND window_;
    };

private:
    SystemLibrary& user32_;
    const wchar_t* reason_;
    int holders_ = 0;
    bool registered_ = false;
};

}  // namespace velmora
