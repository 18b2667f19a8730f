// The notification-area icon, described to the shell by the oldest record it knows (88 bytes,
// ANSI), so that every Windows from 2000 on accepts it; only a balloon, which that record cannot
// carry, goes in the larger record of Windows 2000's shell, on its own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace velmora {

struct TrayIconRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};
static_assert(sizeof(TrayIconRecord) == 88, "the shell's first icon record is 88 bytes");

constexpr UINT kTrayFlagsAdd = 3;   // NIF_MESSAGE | NIF_ICON
constexpr UINT kTrayFlagsTip = 4;   // NIF_TIP
constexpr UINT kTrayFlagsShow = 6;  // NIF_ICON | NIF_TIP
constexpr UINT kTrayFlagsDelete = 0;

class TrayIcon {
public:
    // How the record reaches the shell: NIM_ADD, NIM_MODIFY or NIM_DELETE with the record.
    using Notify = std::function<void(DWORD message, TrayIconRecord& record)>;

    // By default the shell's Shell_NotifyIconA, whose result nobody can act on.
    explicit TrayIcon(Notify notify = {});
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon for the window; its mouse messages come back as callbackMessage.
    void add(HWND window, HICON icon, UINT callbackMessage);
    // Sets the image and the tip: the text (in the ANSI code page, at most 63 bytes, lines
    // parted by "\n"), one NUL, then blanks.
    void show(HICON icon, const std::string& utf8Tip);
    // Shows a balloon at the icon, with the warning or the information sign; the shell shows it
    // for a while or until the user clicks it away.
    void balloon(const std::string& utf8Title, const std::string& utf8Text, bool warning);
    void remove();
    // Adds the icon again, with its image and tip as they were, after the task bar was
    // re-created (Explorer restarted).
    void restore();

    bool shown() const { return shown_; }

private:
    Notify notify_;
    TrayIconRecord record_{};
    bool shown_ = false;
    bool hasTip_ = false;
};

}  // namespace velmora
