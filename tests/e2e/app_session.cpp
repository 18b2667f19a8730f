#include "tests/e2e/app_session.h"

#include <algorithm>
#include <cstdio>

#include <shlobj.h>

#include "platform/win32/text_codec.h"
#include "sim/sim_state.h"
#include "tests/win32/temp_folder.h"

namespace velmora::testing {

std::optional<DWORD> prohibitIpsec() {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG read = RegQueryValueExW(key, L"ProhibitIpsec", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD ? std::optional<DWORD>(value) : std::nullopt;
}

int countStartingWith(const std::vector<std::string>& lines, const std::string& start) {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

int countEndingWith(const std::vector<std::string>& lines, const std::string& end) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.size() >= end.size() && l.compare(l.size() - end.size(), end.size(), end) == 0;
    }));
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

AppSession::AppSession(const WindowsRelease& windows) : app(windows) {
    setProhibitIpsec(true);
    DeleteFileW(settingsPath().c_str());
}

AppSession::~AppSession() {
    dropTunnelAddress();
}

std::wstring programLogPath() {
    wchar_t local[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local) != S_OK) {
        return {};
    }
    return std::wstring(local) + L"\\Velmora\\velmora.log";
}

namespace {

// The last lines of a text, each indented.
std::string lastLines(const std::vector<std::string>& lines, std::size_t count) {
    std::string shown;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
        shown += "\n  " + lines[i];
    }
    return shown;
}

// The program's log, UTF-16 as it writes it, in lines.
std::vector<std::string> programLog() {
    const std::string bytes = readBytes(programLogPath());
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::string> lines;
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n') {
            lines.push_back(narrow(line));
            line.clear();
        } else if (c != L'\r' && c != 0xFEFF) {
            line += c;
        }
    }
    return lines;
}

}  // namespace

void AppSession::TearDown() {
    if (!HasFailure() || app.instancesStarted() == 0) {
        return;
    }
    // Whether the program was still there and answering tells a hang from a wait or an end.
    const std::size_t last = app.instancesStarted() - 1;
    std::string state = "has ended";
    if (app.running(last)) {
        const auto window = WindowDriver::find(app.processId(last), 0);
        DWORD_PTR result = 0;
        state = !window ? "runs without its window"
                : SendMessageTimeoutW(window->window(), WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result) != 0
                    ? "runs and answers"
                    : "runs and does not answer within 5 s";
    }
    std::printf("The program %s.\nThe journal's last lines:%s\nThe program's log, last lines:%s\n", state.c_str(),
                lastLines(journal(), 30).c_str(), lastLines(programLog(), 20).c_str());
}

WindowDriver AppSession::start(const std::vector<std::string>& startUpMessages, const std::wstring& currentFolder) {
    const std::size_t instance = app.instancesStarted();
    EXPECT_TRUE(app.start(currentFolder));
    auto window = WindowDriver::find(app.processId(instance), 20000);
    if (!window) {
        ADD_FAILURE() << "the main window never appeared";
        return WindowDriver(nullptr);
    }
    for (const std::string& message : startUpMessages) {
        EXPECT_TRUE(window->answerMessageBox(message, 20000)) << message;
    }
    // Unless start-up ended the program, its window goes on to make the rest of its controls.
    eventually([&] { return window->complete() || !app.running(instance); }, 20000);
    return *window;
}

WindowDriver AppSession::startShown(const std::vector<std::string>& startUpMessages) {
    WindowDriver window = start(startUpMessages);
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, 20000));
    return window;
}

WindowDriver AppSession::connectIpsec(const ConnProfile& profile, const std::wstring& startFolder) {
    EXPECT_TRUE(saveSettings(profile));
    WindowDriver window = start({}, startFolder);
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
    EXPECT_TRUE(window.clickLater(Control::Command1));
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));
    EXPECT_TRUE(journalled("ping -n 8 10.0.0.0"));
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) == FALSE; }, kTicks));
    return window;
}

std::string AppSession::pptpDial() const {
    return "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:" +
           app.phonebookArgument(L"pptp.pbk") + " ";
}

std::vector<std::string> AppSession::journal() const {
    return sim::readJournal();
}

bool AppSession::journalled(const std::string& line) const {
    return eventually([&] { return has(journal(), line); }, kTicks);
}

void AppSession::dropTunnelAddress() const {
    testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
}

}  // namespace velmora::testing
