#include "ui/win32/tray_icon.h"

#include <shellapi.h>

#include <cstring>

#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

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
