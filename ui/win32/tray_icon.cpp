#include "ui/win32/tray_icon.h"

#include <shellapi.h>

#include <cstring>

#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

// The Unicode record of Windows 2000's shell (version 5), the first that carries a balloon.
struct TrayBalloonRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    wchar_t szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    wchar_t szInfo[256];
    UINT uTimeout;
    wchar_t szInfoTitle[64];
    DWORD dwInfoFlags;
};
static_assert(sizeof(TrayBalloonRecord) == 936, "the shell's version-5 Unicode icon record is 936 bytes");

constexpr UINT kTrayFlagsInfo = 0x10;  // NIF_INFO
constexpr DWORD kBalloonInfo = 1;      // NIIF_INFO
constexpr DWORD kBalloonWarning = 2;   // NIIF_WARNING
constexpr UINT kBalloonMs = 10000;

// The text in the field of size characters, always NUL-ended: the program's texts fit, and one
// that did not would be cut short.
void copyField(wchar_t* field, int size, const std::string& utf8) {
    (void)lstrcpynW(field, widen(utf8).c_str(), size);
}

void shellNotify(DWORD message, TrayIconRecord& record) {
    (void)Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&record));
}

// The longest prefix of an ANSI text that fits in limit bytes without splitting a
// double-byte character.
std::size_t fittingBytes(const std::string& ansi, std::size_t limit) {
    std::size_t end = 0;
    while (end < ansi.size()) {
        const std::size_t width = IsDBCSLeadByte(static_cast<BYTE>(ansi[end])) ? 2 : 1;
        if (end + width > limit) {
            break;
        }
        end += width;
    }
    return end;
}

}  // namespace

TrayIcon::TrayIcon(Notify notify) : notify_(notify ? std::move(notify) : Notify(shellNotify)) {}

void TrayIcon::add(HWND window, HICON icon, UINT callbackMessage) {
    record_.uID = 0;
    record_.cbSize = sizeof(record_);
    record_.hWnd = window;
    record_.hIcon = icon;
    record_.uCallbackMessage = callbackMessage;
    record_.uFlags = kTrayFlagsAdd;
    notify_(NIM_ADD, record_);
    shown_ = true;
}

void TrayIcon::show(HICON icon, const std::string& utf8Tip) {
    const std::string ansi = utf8ToAnsi(utf8Tip);
    const std::size_t length = fittingBytes(ansi, sizeof(record_.szTip) - 1);
    std::memset(record_.szTip, ' ', sizeof(record_.szTip));
    std::memcpy(record_.szTip, ansi.data(), length);
    record_.szTip[length] = '\0';
    hasTip_ = true;
    record_.hIcon = icon;
    record_.uFlags = kTrayFlagsShow;
    notify_(NIM_MODIFY, record_);
}

void TrayIcon::balloon(const std::string& utf8Title, const std::string& utf8Text, bool warning) {
    if (!shown_) {
        return;
    }
    TrayBalloonRecord record{};
    record.cbSize = sizeof record;
    record.hWnd = record_.hWnd;
    record.uID = record_.uID;
    record.uFlags = kTrayFlagsInfo;
    record.uTimeout = kBalloonMs;
    record.dwInfoFlags = warning ? kBalloonWarning : kBalloonInfo;
    copyField(record.szInfoTitle, sizeof record.szInfoTitle / sizeof(wchar_t), utf8Title);
    copyField(record.szInfo, sizeof record.szInfo / sizeof(wchar_t), utf8Text);
    (void)Shell_NotifyIconW(NIM_MODIFY, reinterpret_cast<NOTIFYICONDATAW*>(&record));
}

void TrayIcon::remove() {
    record_.uFlags = kTrayFlagsDelete;
    notify_(NIM_DELETE, record_);
    shown_ = false;
}

void TrayIcon::restore() {
    if (!shown_) {
        return;
    }
    record_.uFlags = kTrayFlagsAdd;
    notify_(NIM_ADD, record_);
    if (hasTip_) {
        record_.uFlags = kTrayFlagsTip;
        notify_(NIM_MODIFY, record_);
    }
}

}  // namespace velmora
