#include "tests/e2e/window_driver.h"

#include <cstring>

#include "platform/win32/text_codec.h"
#include "tests/win32/temp_folder.h"
#include "ui/layout.h"
#include "ui/win32/window_names.h"

namespace velmora::testing {

namespace {

// The child that holds a message box's text, in Windows and in Wine alike.
constexpr int kMessageBoxTextId = 0xFFFF;

std::string textOf(HWND window) {
    const auto length = static_cast<std::size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied);
    return narrow(text);
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

DWORD processOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

struct TopLevelSearch {
    DWORD processId;
    std::wstring className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TopLevelSearch*>(context);
    if (IsWindowVisible(window) && classOf(window) == search->className &&
        (search->processId == 0 || processOf(window) == search->processId)) {
        search->found.push_back(window);
    }
    return TRUE;
}

std::vector<HWND> topLevelWindows(DWORD processId, const std::wstring& className) {
    TopLevelSearch search{processId, className, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window exists a moment before its controls, longer when the first themed control loads
// the visual styles; until the last is made, a control looks disabled to IsWindowEnabled.
bool hasAllControls(HWND window) {
    for (std::size_t i = 0; i < kLayoutItemCount; ++i) {
        if (GetDlgItem(window, kFirstControlId + static_cast<int>(i)) == nullptr) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool eventually(const std::function<bool()>& condition, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) {
            return condition();
        }
        Sleep(20);
    }
    return true;
}

namespace {

// A PNG file is complete once its closing chunk is written.
bool completePng(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    char tail[8] = {};
    DWORD read = 0;
    const bool seeked = SetFilePointer(file, -8, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
    ReadFile(file, tail, sizeof(tail), &read, nullptr);
    CloseHandle(file);
    return seeked && read == 8 && std::memcmp(tail, "IEND\xAE\x42\x60\x82", 8) == 0;
}

}  // namespace

bool screenshot(HWND window, const std::string& pngPath) {
    // The X server draws what Wine sent it a moment later.
    Sleep(500);
    RECT r{};
    GetWindowRect(window, &r);
    const std::wstring windowsPath = L"Z:" + widen(pngPath);
    DeleteFileW(windowsPath.c_str());
    const std::string crop = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                             std::to_string(r.left) + "+" + std::to_string(r.top);
    (void)testing::runCommandLine("/bin/sh -c \"xwd -root -silent | convert xwd:- -crop " + crop +
                                      " +repage png:" + pngPath + "\"");
    // Wine returns at once from a Unix program; the file says when it is done.
    return eventually([&] { return completePng(windowsPath); }, 20000);
}

std::optional<WindowDriver> WindowDriver::find(DWORD processId, int timeoutMs) {
    HWND found = nullptr;
    const std::wstring caption = widen(kWindowCaption);
    eventually(
        [&] {
            for (HWND window = FindWindowExW(nullptr, nullptr, kMainWindowClass, caption.c_str()); window != nullptr;
                 window = FindWindowExW(nullptr, window, kMainWindowClass, caption.c_str())) {
                if ((processId == 0 || processOf(window) == processId) &&
                    (hasAllControls(window) || WindowDriver(window).waitsForAnAnswer())) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found != nullptr ? std::optional<WindowDriver>(WindowDriver(found)) : std::nullopt;
}

bool WindowDriver::complete() const {
    return hasAllControls(window_);
}

bool WindowDriver::waitsForAnAnswer() const {
    return !messageBoxes().empty();
}

DWORD WindowDriver::processId() const {
    return processOf(window_);
}

HWND WindowDriver::control(Control control, int index) const {
    return GetDlgItem(window_, controlId(control, index));
}

std::string WindowDriver::caption() const {
    return textOf(window_);
}

std::string WindowDriver::text(Control control, int index) const {
    return textOf(this->control(control, index));
}

void WindowDriver::setText(Control control, const std::string& text) const {
    SendMessageW(this->control(control), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

int WindowDriver::checked(Control control, int index) const {
    return static_cast<int>(SendMessageW(this->control(control, index), BM_GETCHECK, 0, 0));
}

bool WindowDriver::enabled(Control control, int index) const {
    return IsWindowEnabled(this->control(control, index)) != FALSE;
}

bool WindowDriver::visible(Control control, int index) const {
    return IsWindowVisible(this->control(control, index)) != FALSE;
}

bool WindowDriver::userCanClick(HWND control) const {
    return control != nullptr && IsWindowVisible(control) && IsWindowEnabled(control);
}

bool WindowDriver::click(Control control, int index) const {
    HWND target = this->control(control, index);
    if (!userCanClick(target)) {
        return false;
    }
    SendMessageW(target, BM_CLICK, 0, 0);
    return true;
}

bool WindowDriver::clickLater(Control control, int index) const {
    HWND target = this->control(control, index);
    if (!userCanClick(target)) {
        return false;
    }
    PostMessageW(target, BM_CLICK, 0, 0);
    return true;
}

void WindowDriver::trayMouse(UINT mouseMessage) const {
    PostMessageW(window_, kTrayCallbackMessage, 0, static_cast<LPARAM>(mouseMessage));
}

HWND WindowDriver::openTrayMenu(int timeoutMs) const {
    trayMouse(WM_RBUTTONUP);
    HWND menu = nullptr;
    eventually(
        [&] {
            const auto menus = topLevelWindows(processId(), L"#32768");
            menu = menus.empty() ? nullptr : menus.front();
            return menu != nullptr;
        },
        timeoutMs);
    return menu;
}

void WindowDriver::chooseMenuRow(HWND menu, int row) const {
    // The menu's own loop reads these from the window thread's queue, as it would keys.
    for (int i = 0; i <= row; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

void WindowDriver::chooseLastMenuRow(HWND menu) const {
    // Up from no selection goes round to the last row, as it does for a user.
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

void WindowDriver::dismissMenu(HWND menu) const {
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
}

std::vector<MessageBoxSeen> WindowDriver::messageBoxes() const {
    std::vector<MessageBoxSeen> boxes;
    for (HWND box : topLevelWindows(processId(), L"#32770")) {
        if (textOf(box) == kMessageCaption) {
            boxes.push_back({box, textOf(GetDlgItem(box, kMessageBoxTextId))});
        }
    }
    return boxes;
}

std::optional<MessageBoxSeen> WindowDriver::waitForMessageBox(int timeoutMs) const {
    std::optional<MessageBoxSeen> seen;
    eventually(
        [&] {
            const auto boxes = messageBoxes();
            if (!boxes.empty()) {
                seen = boxes.front();
            }
            return seen.has_value();
        },
        timeoutMs);
    return seen;
}

bool WindowDriver::answerMessageBox(const std::string& text, int timeoutMs) const {
    HWND box = nullptr;
    eventually(
        [&] {
            for (const MessageBoxSeen& seen : messageBoxes()) {
                if (seen.text == text) {
                    box = seen.window;
                }
            }
            return box != nullptr;
        },
        timeoutMs);
    if (box == nullptr) {
        return false;
    }
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return eventually([&] { return !IsWindow(box); }, timeoutMs);
}

}  // namespace velmora::testing
