// Stands in for the shell's notification area inside a test program, so that what velmora.exe
// asks of its tray icon can be read back: a window of the tray's class ("Shell_TrayWnd"), to
// which Wine's Shell_NotifyIcon sends each request as WM_COPYDATA in a record of Wine's own
// (the icon's owner, id, flags and callback, the tip, then the icon's size and bits: the mask,
// then the colour). The window shows the last icon and tip, magnified, for screenshots.
#pragma once

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velmora::testing {

struct TrayNotice {
    DWORD message = 0;  // NIM_ADD, NIM_MODIFY or NIM_DELETE
    UINT flags = 0;
    std::string tip;    // UTF-8; only where flags hold NIF_TIP
    std::string balloon;  // UTF-8; only where flags hold NIF_INFO
    int iconWidth = 0;  // only where flags hold NIF_ICON
    int iconHeight = 0;
    std::string iconBits;  // the mask's bits, then the colour's, as GetBitmapBits gives them
};

// An icon's bits as the shell receives them.
std::string iconBitsOf(HICON icon);

class TrayShell {
public:
    TrayShell();
    ~TrayShell();
    TrayShell(const TrayShell&) = delete;
    TrayShell& operator=(const TrayShell&) = delete;

    std::vector<TrayNotice> notices() const;
    // The latest notice that set a tip, and the latest that set an icon.
    std::optional<TrayNotice> lastTip() const { return lastWith(NIF_TIP); }
    std::optional<TrayNotice> lastIcon() const { return lastWith(NIF_ICON); }
    std::optional<TrayNotice> lastBalloon() const { return lastWith(NIF_INFO); }
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void received(DWORD message, const unsigned char* data, DWORD size);
    void paint(HDC dc) const;
    std::optional<TrayNotice> lastWith(UINT flag) const;

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    mutable std::mutex mutex_;
    std::vector<TrayNotice> notices_;
    std::thread thread_;
};

}  // namespace velmora::testing
