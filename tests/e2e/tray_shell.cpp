#include "tests/e2e/tray_shell.h"

#include <cstring>
#include <future>

#include "platform/win32/text_codec.h"

namespace velmora::testing {

namespace {

// Wine's record, as far as the tests read it.
constexpr std::size_t kTipOffset = 16;         // after owner, id, flags and callback message
constexpr std::size_t kTipChars = 128;
constexpr std::size_t kBalloonOffset = 280;    // after the tip, state and state mask
constexpr std::size_t kBalloonChars = 256;
constexpr std::size_t kIconSizeOffset = 944;   // after the tip, state, balloon texts and guid
constexpr std::size_t kIconBitsOffset = 960;   // after width, height, planes and bits per pixel

UINT readUint(const unsigned char* data, std::size_t offset) {
    UINT value = 0;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

std::string bitmapBits(HBITMAP bitmap) {
    BITMAP size{};
    if (GetObjectW(bitmap, sizeof size, &size) == 0) {
        return {};
    }
    // Whole 16-bit words per row, as the shell takes them.
    const LONG bytes = (size.bmPlanes * size.bmWidth * size.bmHeight * size.bmBitsPixel + 15) / 16 * 2;
    std::string bits(static_cast<std::size_t>(bytes), '\0');
    GetBitmapBits(bitmap, bytes, bits.data());
    return bits;
}

}  // namespace

std::string iconBitsOf(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return {};
    }
    std::string bits = bitmapBits(info.hbmMask) + bitmapBits(info.hbmColor);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
    return bits;
}

TrayShell::TrayShell() {
    std::promise<void> ready;
    thread_ = std::thread([this, &ready] {
        threadId_ = GetCurrentThreadId();
        WNDCLASSW trayClass{};
        trayClass.lpfnWndProc = windowProc;
        trayClass.hInstance = GetModuleHandleW(nullptr);
        trayClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        trayClass.lpszClassName = L"Shell_TrayWnd";
        (void)RegisterClassW(&trayClass);
        window_ = CreateWindowExW(WS_EX_TOPMOST, L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 360,
                                  80, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        ready.set_value();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        DestroyWindow(window_);
    });
    ready.get_future().wait();
}

TrayShell::~TrayShell() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

LRESULT CALLBACK TrayShell::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<TrayShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_COPYDATA) {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        self->received(static_cast<DWORD>(copy->dwData), static_cast<const unsigned char*>(copy->lpData),
                       copy->cbData);
        InvalidateRect(window, nullptr, TRUE);
        return TRUE;
    }
    if (self != nullptr && message == WM_PAINT) {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        self->paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void TrayShell::received(DWORD message, const unsigned char* data, DWORD size) {
    if (size < kIconBitsOffset) {
        return;
    }
    TrayNotice notice;
    notice.message = message;
    notice.flags = readUint(data, 8);
    if (notice.flags & NIF_TIP) {
        const auto* tip = reinterpret_cast<const wchar_t*>(data + kTipOffset);
        notice.tip = narrow(std::wstring(tip, wcsnlen(tip, kTipChars)));
    }
    if (notice.flags & NIF_INFO) {
        const auto* balloon = reinterpret_cast<const wchar_t*>(data + kBalloonOffset);
        notice.balloon = narrow(std::wstring(balloon, wcsnlen(balloon, kBalloonChars)));
    }
    if (notice.flags & NIF_ICON) {
        notice.iconWidth = static_cast<int>(readUint(data, kIconSizeOffset));
        notice.iconHeight = static_cast<int>(readUint(data, kIconSizeOffset + 4));
        notice.iconBits.assign(reinterpret_cast<const char*>(data + kIconBitsOffset), size - kIconBitsOffset);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    notices_.push_back(notice);
}

// The last icon, at its size and four times as large, and the last tip beside it.
void TrayShell::paint(HDC dc) const {
    const auto icon = lastIcon();
    const auto tip = lastTip();
    if (icon && icon->iconWidth > 0) {
        const std::size_t maskBytes = (static_cast<std::size_t>(icon->iconWidth) * icon->iconHeight + 15) / 16 * 2;
        HBITMAP mask = CreateBitmap(icon->iconWidth, icon->iconHeight, 1, 1, icon->iconBits.data());
        HDC screen = GetDC(nullptr);
        HBITMAP colour = CreateCompatibleBitmap(screen, icon->iconWidth, icon->iconHeight);
        ReleaseDC(nullptr, screen);
        SetBitmapBits(colour, static_cast<DWORD>(icon->iconBits.size() - maskBytes), icon->iconBits.data() + maskBytes);
        ICONINFO info{TRUE, 0, 0, mask, colour};
        HICON drawn = CreateIconIndirect(&info);
        DrawIconEx(dc, 8, 8, drawn, icon->iconWidth, icon->iconHeight, 0, nullptr, DI_NORMAL);
        DrawIconEx(dc, 32, 8, drawn, icon->iconWidth * 4, icon->iconHeight * 4, 0, nullptr, DI_NORMAL);
        DestroyIcon(drawn);
        DeleteObject(mask);
        DeleteObject(colour);
    }
    if (tip) {
        RECT text{112, 8, 352, 72};
        DrawTextW(dc, widen(tip->tip).c_str(), -1, &text, DT_LEFT | DT_TOP | DT_NOPREFIX);
    }
}

std::vector<TrayNotice> TrayShell::notices() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_;
}

std::optional<TrayNotice> TrayShell::lastWith(UINT flag) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = notices_.rbegin(); it != notices_.rend(); ++it) {
        if (it->flags & flag) {
            return *it;
        }
    }
    return std::nullopt;
}

}  // namespace velmora::testing
