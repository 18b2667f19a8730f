#include "tests/e2e/app_session.h"

#include <algorithm>

#include "core/settings/settings_lines.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_text_files.h"
#include "sim/sim_state.h"

namespace velmora::testing {

namespace {

constexpr const wchar_t* kParametersKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
constexpr const char* kSettingsPath = "C:\\l2tpipsec.ini";

}  // namespace

void setProhibitIpsec(bool present) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (present) {
        const DWORD one = 1;
        RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    } else {
        RegDeleteValueW(key, L"ProhibitIpsec");
    }
    RegCloseKey(key);
}

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

ConnProfile dialProfile() {
    ConnProfile p = fallbackProfile();
    p.txtServerAddress = "203.0.113.10";
    p.txtUserName = "zhangwei";
    p.txtPasswd = "secret1";
    p.txtpeer = "10.0.0.0";
    p.txtpeermask = "255.255.0.0";
    p.txtlocal = "10.10.10.4";
    p.txtpreshare = "sharedkey1";
    p.comalg = "ESP-3DES-SHA";
    p.txtpeer2 = "0.0.0.0";
    return p;
}

void saveSettings(const ConnProfile& profile) {
    Win32AnsiCodec codec;
    Win32TextFiles files;
    ASSERT_TRUE(files.writeLines(kSettingsPath, composeSettings(profile, codec).lines));
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
    for (const wchar_t* file : {L"C:\\l2tpipsec.ini", L"C:\\ipsec.pbk", L"C:\\pptp.pbk"}) {
        DeleteFileW(file);
    }
}

AppSession::~AppSession() {
    dropTunnelAddress();
}

WindowDriver AppSession::start(const std::vector<std::string>& startUpMessages) {
    const std::size_t instance = app.instancesStarted();
    EXPECT_TRUE(app.start());
    auto window = WindowDriver::find(app.processId(instance), 20000);
    if (!window) {
        ADD_FAILURE() << "the main window never appeared";
        return WindowDriver(nullptr);
    }
    for (const std::string& message : startUpMessages) {
        EXPECT_TRUE(window->answerMessageBox(message, 20000)) << message;
    }
    return *window;
}

WindowDriver AppSession::startShown(const std::vector<std::string>& startUpMessages) {
    WindowDriver window = start(startUpMessages);
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, 20000));
    return window;
}

std::vector<std::string> AppSession::journal() const {
    return sim::readJournal();
}

bool AppSession::journalled(const std::string& line) const {
    return eventually([&] { return has(journal(), line); }, kTicks);
}

void AppSession::dropTunnelAddress() const {
    Win32Processes processes;
    processes.runAndWait("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
}

void AppSession::setLink(bool up) const {
    sim::saveConnections(up ? std::vector<sim::SimConnection>{{41, "corvinaltexum"}}
                            : std::vector<sim::SimConnection>{});
}

}  // namespace velmora::testing
