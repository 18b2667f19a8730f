// velmora-setup.exe under Wine, as an administrator would use it: the silent install and what it
// leaves (files, shortcuts read back through the shell, the Add/Remove Programs entry, the registry
// switch, the service running), velmora.exe started from its Start-menu shortcut dialling with
// defaultgate.pbk, the silent uninstall, the service gone and the switch it puts back, the pages of
// both with and without a restart, and the refusals while velmora.exe runs, while the installed
// service cannot be removed and for a folder that is a link. Each scenario runs in a Wine session of
// its own, once with Wine reporting Windows 2000 and once Windows 10 (see wine_tests.cmake). Then
// velmora.msi under Wine's msiexec: a silent install with the administrator's profile, the service
// and the first start that uses it, an upgrade, a refused downgrade and the uninstall.
#include <windows.h>
#include <aclapi.h>
#include <msi.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/settings/settings_lines.h"
#include "core/system/general.h"
#include "core/system/logon_start.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text_files.h"
#include "sim/sim_state.h"
#include "tests/data/earlier_logon_task.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::eventually;
using testing::fileExists;

constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora";
constexpr const wchar_t* kParametersKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
// ProhibitIpsec as the installer may find it: a number, or one of these.
constexpr long long kNoKey = -2;
constexpr long long kNoValue = -1;
// What the installer puts into the install folder, and the stand-ins of the remote-access service
// and its tools that the tests put beside them (test equipment, never installed).
const std::vector<std::wstring> kInstalledFiles = {L"velmora.exe", L"velmora-service.exe", L"velmora-ipsec.exe",
                                                   L"defaultgate.pbk", L"uninstall.exe"};
// What the service writes beside its program, and the folder of its log.
const std::vector<std::wstring> kServiceFiles = {L"ipsec.pbk", L"pptp.pbk", L"logs\\velmora-service.log",
                                                 L"logs\\velmora-service.log.1"};
constexpr const wchar_t* kServiceName = L"VelmoraVpn";
const std::vector<std::wstring> kStandIns = {L"rasdial.exe",  L"route.exe",    L"ping.exe",
                                             L"ipseccmd.exe", L"ipsecpol.exe", L"netsh.exe"};
// The installer's exit code when it refuses (NSIS: aborted by the script), and the installer's or
// uninstaller's when it changed the switch and Windows must restart; when the install folder could
// not be given its rights, and when the installed service could not be removed.
constexpr DWORD kAbortedByScript = 2;
constexpr DWORD kRestartPending = 3010;
constexpr DWORD kFolderNotSecured = 3;
constexpr DWORD kServiceNotRemoved = 4;
// velmora-setup.exe's refusal while velmora.msi's product is installed.
constexpr DWORD kMsiInstalled = 6;
constexpr int kWaitMs = 30000;

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Where velmora.exe keeps this user's settings: the Velmora folder of the local application data.
std::wstring userSettingsFolder() {
    return shellFolder(CSIDL_LOCAL_APPDATA) + L"\\Velmora";
}
std::wstring userSettings() {
    return userSettingsFolder() + L"\\l2tpipsec.ini";
}

std::wstring startMenuShortcut() {
    return shellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Velmora VPN.lnk";
}

std::wstring desktopShortcut() {
    return shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Velmora VPN.lnk";
}

// Starts a command line in the folder given (or this program's current one).
std::optional<PROCESS_INFORMATION> start(std::wstring line, const std::wstring& folder = {}) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    CloseHandle(info.hThread);
    return info;
}

std::optional<DWORD> exitCode(HANDLE process) {
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ended ? std::optional<DWORD>(code) : std::nullopt;
}

std::optional<DWORD> run(const std::wstring& line) {
    const auto process = start(line);
    return process ? exitCode(process->hProcess) : std::nullopt;
}

// Reads and answers with OK the first message box that the process shows.
BOOL CALLBACK answerMessageBoxOf(HWND window, LPARAM context) {
    auto* seen = reinterpret_cast<std::pair<DWORD, std::optional<std::string>>*>(context);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != seen->first || std::wstring(name) != L"#32770" || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[512] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 512);
    seen->second = narrow(text);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

// A value under a key of HKLM: a text, or a number as its decimal text.
std::optional<std::wstring> machineValue(const wchar_t* keyPath, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t value[512] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LONG read = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, value, sizeof number);
        return std::to_wstring(number);
    }
    return std::wstring(value);
}

// A value of the Add/Remove Programs entry.
std::optional<std::wstring> uninstallValue(const wchar_t* name) {
    return machineValue(kUninstallKey, name);
}

long long readSwitch() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return kNoKey;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG read = RegQueryValueExW(key, L"ProhibitIpsec", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : kNoValue;
}

void putSwitch(long long state) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const auto value = static_cast<DWORD>(state);
    if (state >= 0) {
        RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    } else {
        RegDeleteValueW(key, L"ProhibitIpsec");
    }
    RegCloseKey(key);
    if (state == kNoKey) {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kParametersKey);
    }
    ASSERT_EQ(readSwitch(), state);
}

// The service as the service manager reports it.
struct ServiceSeen {
    DWORD state = 0;
    DWORD start = 0;
    DWORD processId = 0;
    std::wstring account;
    std::wstring program;  // unquoted
};

struct ServiceHandleClose {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleClose>;

// Nothing when the service is not registered.
std::optional<ServiceSeen> velmoraService() {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(
        manager ? OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS) : nullptr);
    if (!service) {
        return std::nullopt;
    }
    ServiceSeen seen;
    std::vector<BYTE> buffer(8192);
    DWORD size = 0;
    if (QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                            static_cast<DWORD>(buffer.size()), &size)) {
        const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        seen.start = config->dwStartType;
        seen.account = config->lpServiceStartName != nullptr ? config->lpServiceStartName : L"";
        seen.program = config->lpBinaryPathName != nullptr ? config->lpBinaryPathName : L"";
        if (seen.program.size() >= 2 && seen.program.front() == L'"' && seen.program.back() == L'"') {
            seen.program = seen.program.substr(1, seen.program.size() - 2);
        }
    }
    SERVICE_STATUS_PROCESS status{};
    if (QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                             &size)) {
        seen.state = status.dwCurrentState;
        seen.processId = status.dwProcessId;
    }
    return seen;
}

// The service runs the program of that folder, for the system, started with Windows; waits a
// moment for it to run. Its process, 0 when it does not run so.
DWORD expectServiceRunsFrom(const std::wstring& folder) {
    std::optional<ServiceSeen> seen;
    eventually([&] { return (seen = velmoraService()) && seen->state == SERVICE_RUNNING; }, kWaitMs);
    if (!seen) {
        ADD_FAILURE() << "the service is not registered";
        return 0;
    }
    EXPECT_EQ(seen->state, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(seen->start, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(seen->account, L"LocalSystem");
    EXPECT_EQ(seen->program, folder + L"\\velmora-service.exe");
    return seen->state == SERVICE_RUNNING ? seen->processId : 0;
}

// Stops the service (as a test's own step, or to clean up after a failed one) and, when asked,
// removes it.
void stopService(bool remove) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(
        manager ? OpenServiceW(manager.get(), kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE) : nullptr);
    if (!service) {
        return;
    }
    SERVICE_STATUS status{};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    eventually([&] { return QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED; },
               kWaitMs);
    if (remove) {
        DeleteService(service.get());
    }
}

// What 登录时启动 makes for this user, and for another user of the computer (one with a profile).
constexpr const char* kOtherUser = "S-1-5-21-7-7-7-1001";
constexpr const char* kOtherProfile =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-7-7-7-1001";
std::string taskOf(const std::string& sid) {
    return std::string(kLogonTaskFolder) + "\\" + sid;
}
void plantLogonStarts(const std::wstring& program) {
    const std::string path = narrow(program);
    Win32LogonTasks tasks;
    ASSERT_TRUE(Win32Registry().createKey(kHkeyLocalMachine, kOtherProfile));
    ASSERT_TRUE(Win32Registry().writeString(kHkeyCurrentUser, kRunKey, kRunValueName, logonStartCommand(path)));
    for (const std::string& sid : {tasks.userSid(), std::string(kOtherUser)}) {
        ASSERT_TRUE(tasks.create(taskOf(sid), testing::earlierLogonTaskDefinition(sid, path)));
    }
}
void expectNoLogonStart() {
    Win32LogonTasks tasks;
    EXPECT_EQ(Win32Registry().readString(kHkeyCurrentUser, kRunKey, kRunValueName), std::nullopt);
    EXPECT_FALSE(tasks.exists(taskOf(tasks.userSid())));
    EXPECT_FALSE(tasks.exists(taskOf(kOtherUser)));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, widen(kOtherProfile).c_str());
}

std::string textOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return narrow(text);
}

BOOL CALLBACK collectShown(HWND child, LPARAM controls) {
    if (IsWindowVisible(child)) {
        reinterpret_cast<std::vector<std::pair<HWND, std::string>>*>(controls)->push_back({child, textOf(child)});
    }
    return TRUE;
}

// The wizard's caption and every control it shows now, with their texts.
std::vector<std::pair<HWND, std::string>> shown(HWND wizard) {
    std::vector<std::pair<HWND, std::string>> controls{{wizard, textOf(wizard)}};
    EnumChildWindows(wizard, collectShown, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

HWND shownWith(HWND wizard, const std::string& part) {
    for (const auto& [control, text] : shown(wizard)) {
        if (text.find(part) != std::string::npos) {
            return control;
        }
    }
    return nullptr;
}

void pressNext(HWND wizard) {
    PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(wizard, IDOK)));
}

// The pages address the user one way, put no blank before a full stop, and spell the program's
// name one way (a folder named Velmora in a path is not the name).
void expectOneWording(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) {
        EXPECT_EQ(text.find("你"), std::string::npos) << text;
        EXPECT_EQ(text.find(" 。"), std::string::npos) << text;
        for (std::size_t at = text.find("Velmora"); at != std::string::npos; at = text.find("Velmora", at + 1)) {
            if (at == 0 || text[at - 1] != '\\') {
                EXPECT_EQ(text.compare(at, 11, "Velmora VPN"), 0) << text;
            }
        }
    }
}

struct Shortcut {
    std::wstring target;
    std::wstring workingFolder;
    std::wstring iconFile;
    int iconIndex = -1;
};

// A shortcut as the shell reads it.
std::optional<Shortcut> readShortcut(const std::wstring& path) {
    ComRef<IShellLinkW> link;
    ComRef<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    wchar_t text[MAX_PATH] = {};
    Shortcut shortcut;
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    shortcut.target = text;
    link->GetWorkingDirectory(text, MAX_PATH);
    shortcut.workingFolder = text;
    link->GetIconLocation(text, MAX_PATH, &shortcut.iconIndex);
    shortcut.iconFile = text;
    return shortcut;
}

class InstallerScenario : public ::testing::TestWithParam<const char*> {
protected:
    InstallerScenario() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        GetCurrentDirectoryW(MAX_PATH, startFolder_);
        // As after the restart the program asks for, unless a scenario says otherwise.
        putSwitch(1);
        setWineVersion(GetParam());
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
        // The service manager starts the service without this program's environment.
        sim::publishSimFolder(sim.path());
        // Also an earlier version's, which the program would carry over.
        for (const std::wstring& file : {userSettings(), std::wstring(L"C:\\l2tpipsec.ini"), std::wstring(L"C:\\ipsec.pbk"),
                                         std::wstring(L"C:\\pptp.pbk")}) {
            DeleteFileW(file.c_str());
        }
    }

    ~InstallerScenario() override {
        closeVelmora();
        // Whatever a failed scenario left behind goes, so that the next starts clean.
        stopService(true);
        for (const auto& files : {kInstalledFiles, kStandIns, kServiceFiles}) {
            for (const std::wstring& file : files) {
                DeleteFileW(installed(file).c_str());
            }
        }
        RemoveDirectoryW(installed(L"logs").c_str());
        RemoveDirectoryW(folder().c_str());
        DeleteFileW(startMenuShortcut().c_str());
        DeleteFileW(desktopShortcut().c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
        putSwitch(switchBefore_);
        setWineVersion(nullptr);
        SetCurrentDirectoryW(startFolder_);
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
        sim::publishSimFolder({});
        testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
        CoUninitialize();
    }

    // The version that Wine reports to the programs started from now on; its default for none.
    static void setWineVersion(const char* version) {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (version != nullptr) {
            const std::wstring text = widen(version);
            RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, L"Version");
        }
        RegCloseKey(key);
    }

    std::wstring folder() const {
        return folder_.empty() ? shellFolder(CSIDL_PROGRAM_FILES) + L"\\Velmora" : folder_;
    }
    std::wstring installed(const std::wstring& file) const { return folder() + L"\\" + file; }
    static std::wstring setup() { return L"\"" + widen(VELMORA_SETUP) + L"\""; }

    // Installs silently, into the folder given or else the default one; the service runs then.
    void install(const std::wstring& folder = {}) {
        folder_ = folder;
        ASSERT_EQ(run(setup() + (folder.empty() ? L" /S" : L" /S /D=" + folder)), std::optional<DWORD>(0));
        ASSERT_NE(expectServiceRunsFrom(this->folder()), 0u);
    }

    // As the service would write them: the dials' phonebooks and its log, the full one set aside.
    void writeServiceFiles() const {
        CreateDirectoryW(installed(L"logs").c_str(), nullptr);
        for (const std::wstring& file : kServiceFiles) {
            if (!fileExists(installed(file))) {
                ASSERT_TRUE(Win32TextFiles().writeLines(narrow(installed(file)), {"[corvinaltexum]"}));
            }
        }
    }

    // Nothing the service wrote is left, nor the service.
    void expectNoServiceLeft() const {
        EXPECT_FALSE(velmoraService().has_value());
        for (const std::wstring& file : kServiceFiles) {
            EXPECT_FALSE(fileExists(installed(file))) << narrow(file);
        }
        EXPECT_FALSE(fileExists(installed(L"logs")));
    }

    // The uninstaller run in place (_?=), so that its own exit code tells.
    std::wstring uninstallInPlace(const std::wstring& arguments = {}) const {
        return L"\"" + installed(L"uninstall.exe") + L"\" " + arguments + L"_?=" + folder();
    }

    // Runs the command line with its pages: waits for each by a text it shows, keeps its texts,
    // photographs it and moves on; stays on the last. The process and its wizard.
    std::pair<HANDLE, HWND> throughThePages(const std::wstring& line,
                                            const std::vector<std::pair<const char*, const char*>>& pages) {
        const auto started = start(line);
        HWND wizard = nullptr;
        EXPECT_TRUE(started && eventually([&] { return (wizard = FindWindowW(L"#32770", nullptr)) != nullptr &&
                                                       GetDlgItem(wizard, 1018) != nullptr; }, kWaitMs));
        for (std::size_t i = 0; i < pages.size(); ++i) {
            EXPECT_TRUE(eventually([&] { return shownWith(wizard, pages[i].first) != nullptr; }, kWaitMs)) << pages[i].first;
            for (const auto& control : shown(wizard)) {
                pageTexts.push_back(control.second);
            }
            if (const char* artefacts = std::getenv("VELMORA_ARTEFACTS")) {
                EXPECT_TRUE(testing::screenshot(wizard, std::string(artefacts) + "/setup-" + GetParam() + "-" +
                                                            pages[i].second + ".png"));
            }
            if (i + 1 < pages.size()) {
                pressNext(wizard);
            }
        }
        return {started ? started->hProcess : nullptr, wizard};
    }

    // As Add/Remove Programs does it, silently: the uninstaller copies itself away and returns at
    // once, so its work is seen when its entry and itself have gone.
    void uninstall() {
        const auto line = uninstallValue(L"QuietUninstallString");
        ASSERT_TRUE(line.has_value());
        ASSERT_EQ(run(*line), std::optional<DWORD>(0));
        ASSERT_TRUE(eventually([] { return !uninstallValue(L"DisplayName"); }, kWaitMs));
        ASSERT_TRUE(eventually([&] { return !fileExists(installed(L"uninstall.exe")); }, kWaitMs));
        // The entry goes last, after the folder: emptied, it has gone; holding what others put
        // there, it stays.
        EXPECT_TRUE(!fileExists(folder()) || !folderEmpty()) << "an empty folder is left";
    }

    bool folderEmpty() const {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(installed(L"*").c_str(), &found);
        bool empty = true;
        for (BOOL more = search != INVALID_HANDLE_VALUE; more && empty; more = FindNextFileW(search, &found)) {
            const std::wstring name = found.cFileName;
            empty = name == L"." || name == L"..";
        }
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
        }
        return empty;
    }

    // Beside the installed program, as in the test lab; with settings that make Connect a
    // default-gateway dial.
    void prepareDefaultGatewayDial() const {
        for (const std::wstring& file : kStandIns) {
            ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\" + file).c_str(), installed(file).c_str(), FALSE));
        }
        ConnProfile p = fallbackProfile();
        p.txtServerAddress = "203.0.113.10";
        p.txtUserName = "zhangwei";
        p.txtPasswd = "secret1";
        p.Check2 = kChecked;
        Win32AnsiCodec codec;
        CreateDirectoryW(userSettingsFolder().c_str(), nullptr);
        ASSERT_TRUE(Win32TextFiles().writeLines(narrow(userSettings()), composeSettings(p, codec).lines));
    }

    // Closes velmora.exe as a user would, or ends it the hard way when it does not close.
    void closeVelmora() {
        if (!velmora_) {
            return;
        }
        PostMessageW(velmora_->window(), WM_CLOSE, 0, 0);
        const UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, velmora_->processId()));
        if (WaitForSingleObject(process.get(), 10000) == WAIT_TIMEOUT) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
        velmora_.reset();
    }

    testing::TempFolder sim;
    std::optional<WindowDriver> velmora_;
    std::vector<std::string> pageTexts;  // every text the pages showed

private:
    std::wstring folder_;
    wchar_t startFolder_[MAX_PATH] = {};
    long long switchBefore_ = readSwitch();
};

TEST_P(InstallerScenario, wineReportsTheScenariosWindowsVersion) {
    const std::wstring report = sim.file(L"version.txt");
    ASSERT_EQ(run(L"\"" + testing::programFolder() + L"\\velmora_version_probe.exe\" \"" + report + L"\""),
              std::optional<DWORD>(0));
    // A program whose manifest does not name Windows 10 (this probe's) is told Windows 8 there,
    // as Windows 10 itself does.
    const bool windows2000 = std::string(GetParam()) == "win2k";
    EXPECT_EQ(testing::readBytes(report), windows2000 ? "5.0|ipsecpol|Service Pack 4" : "6.2|velmora-ipsec|");
}

TEST_P(InstallerScenario, silentInstallPutsTheFilesTheShortcutsAndTheUninstallEntryAndStartsTheService) {
    install();
    EXPECT_EQ(folder(), shellFolder(CSIDL_PROGRAM_FILES) + L"\\Velmora");
    for (const wchar_t* program : {L"velmora.exe", L"velmora-service.exe"}) {
        EXPECT_EQ(testing::readBytes(installed(program)), testing::readBytes(widen(VELMORA_PROGRAMS_DIR) + L"\\" + program))
            << narrow(program);
    }
    EXPECT_EQ(testing::readBytes(installed(L"defaultgate.pbk")), testing::kDefaultGatePbk);
    EXPECT_TRUE(fileExists(installed(L"uninstall.exe")));

    for (const std::wstring& path : {startMenuShortcut(), desktopShortcut()}) {
        SCOPED_TRACE(narrow(path));
        const auto shortcut = readShortcut(path);
        ASSERT_TRUE(shortcut.has_value());
        EXPECT_EQ(shortcut->target, installed(L"velmora.exe"));
        // The default-gateway dial looks for defaultgate.pbk in the folder the program starts in.
        EXPECT_EQ(shortcut->workingFolder, folder());
        EXPECT_EQ(shortcut->iconFile, installed(L"velmora.exe"));
        EXPECT_EQ(shortcut->iconIndex, 0);
    }

    const auto is = [](const wchar_t* name, const std::wstring& value) {
        EXPECT_EQ(uninstallValue(name), std::optional<std::wstring>(value)) << narrow(name);
    };
    is(L"DisplayName", L"Velmora VPN");
    is(L"DisplayIcon", installed(L"velmora.exe") + L",0");
    is(L"DisplayVersion", widen(VELMORA_VERSION));
    is(L"Publisher", L"Velmora");
    is(L"HelpLink", widen(VELMORA_HELP_URL));
    is(L"Contact", widen(VELMORA_CONTACT));
    is(L"UninstallString", L"\"" + installed(L"uninstall.exe") + L"\"");
    is(L"InstallLocation", folder());
    // In kilobytes: what the installer put there besides itself, each file rounded up.
    std::size_t bytes = 0;
    std::size_t files = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(installed(L"*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && std::wstring(found.cFileName) != L"uninstall.exe") {
            bytes += found.nFileSizeLow;
            ++files;
        }
    }
    FindClose(search);
    const auto kilobytes = std::stoul(uninstallValue(L"EstimatedSize").value_or(L"0"));
    EXPECT_GE(kilobytes, bytes / 1024);
    EXPECT_LE(kilobytes, bytes / 1024 + files);
}

TEST_P(InstallerScenario, theStartMenuShortcutStartsADefaultGatewayDialThatFindsThePhonebook) {
    install();
    prepareDefaultGatewayDial();
    // Started from elsewhere: only the shortcut's working folder leads rasdial to the phonebook.
    SetCurrentDirectoryW(sim.path().c_str());
    const std::wstring shortcut = startMenuShortcut();
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpFile = shortcut.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&execute));
    velmora_ = WindowDriver::find(0, kWaitMs);
    ASSERT_TRUE(velmora_.has_value()) << "velmora.exe did not start from its shortcut";
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(velmora_->window()) != FALSE; }, kWaitMs));

    ASSERT_TRUE(velmora_->clickLater(Control::Command1));
    EXPECT_TRUE(velmora_->answerMessageBox("拨号成功！", kWaitMs));
    EXPECT_EQ(sim::readJournal(),
              std::vector<std::string>{"rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 /PHONEBOOK:\"" +
                                       narrow(installed(L"defaultgate.pbk")) + "\" "});
    ASSERT_EQ(sim::loadConnections().size(), 1u);
    EXPECT_EQ(sim::loadConnections()[0].entryName, "corvinaltexum");
}

TEST_P(InstallerScenario, silentUninstallRemovesWhatItInstalledAndKeepsTheUsersFiles) {
    // A folder chosen that is a link is refused before anything is copied; the folder it leads to
    // keeps its rights and its contents.
    const std::wstring target = L"C:\\VPN-target";
    const std::wstring link = L"C:\\VPN-link";
    ASSERT_TRUE(testing::removeLinkedFolder(target, link)) << "left by an earlier run";
    ASSERT_TRUE(testing::makeLinkedFolder(target, link));
    EXPECT_EQ(run(setup() + L" /S /D=" + link), std::optional<DWORD>(kFolderNotSecured));
    EXPECT_FALSE(fileExists(target + L"\\velmora-service.exe"));
    EXPECT_FALSE(velmoraService().has_value());
    EXPECT_FALSE(uninstallValue(L"DisplayName").has_value());
    EXPECT_TRUE(testing::removeLinkedFolder(target, link));

    // A folder of the user's choice, with a blank and Chinese in its name, that holds the
    // stand-ins too: the uninstaller must leave what it did not install, and take what the
    // service wrote. An earlier version's files at the drive's root are the user's too.
    install(L"C:\\VPN 客户端");
    prepareDefaultGatewayDial();
    writeServiceFiles();
    Win32TextFiles files;
    for (const char* earlier : {"C:\\l2tpipsec.ini", "C:\\ipsec.pbk", "C:\\pptp.pbk"}) {
        ASSERT_TRUE(files.writeLines(earlier, {"[corvinaltexum]"}));
    }
    const std::string settings = testing::readBytes(userSettings());
    ASSERT_TRUE(fileExists(startMenuShortcut()));
    plantLogonStarts(installed(L"velmora.exe"));

    uninstall();
    expectNoLogonStart();
    expectNoServiceLeft();
    for (const std::wstring& file : kInstalledFiles) {
        EXPECT_FALSE(fileExists(installed(file))) << narrow(file);
    }
    EXPECT_FALSE(fileExists(startMenuShortcut()));
    EXPECT_FALSE(fileExists(desktopShortcut()));
    for (const std::wstring& file : kStandIns) {
        EXPECT_TRUE(fileExists(installed(file))) << narrow(file);
    }
    EXPECT_EQ(testing::readBytes(userSettings()), settings);
    for (const wchar_t* earlier : {L"C:\\l2tpipsec.ini", L"C:\\ipsec.pbk", L"C:\\pptp.pbk"}) {
        EXPECT_EQ(testing::readBytes(earlier), "[corvinaltexum]\r\n") << narrow(earlier);
    }
}

TEST_P(InstallerScenario, installAndUninstallAreRefusedWhileVelmoraRunsOrItsServiceCannotGoAndAnUpgradeReplacesIt) {
    install();
    prepareDefaultGatewayDial();
    const auto process = start(L"\"" + installed(L"velmora.exe") + L"\"", folder());
    ASSERT_TRUE(process.has_value());
    CloseHandle(process->hProcess);
    velmora_ = WindowDriver::find(process->dwProcessId, kWaitMs);
    ASSERT_TRUE(velmora_.has_value());
    ASSERT_TRUE(DeleteFileW(installed(L"defaultgate.pbk").c_str()));

    EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(kAbortedByScript));
    EXPECT_FALSE(fileExists(installed(L"defaultgate.pbk"))) << "a refused install writes nothing";
    // With its pages, the installer says why.
    const auto withPages = start(setup());
    ASSERT_TRUE(withPages.has_value());
    std::pair<DWORD, std::optional<std::string>> seen{withPages->dwProcessId, std::nullopt};
    EXPECT_TRUE(eventually([&] { return !EnumWindows(answerMessageBoxOf, reinterpret_cast<LPARAM>(&seen)); }));
    EXPECT_EQ(seen.second, "Velmora VPN 正在运行。请先在托盘图标的菜单中选择“退出”，再运行安装程序。");
    EXPECT_EQ(exitCode(withPages->hProcess), std::optional<DWORD>(kAbortedByScript));
    // Run in place (_?=) so that the uninstaller's own exit code tells.
    EXPECT_EQ(run(L"\"" + installed(L"uninstall.exe") + L"\" /S _?=" + folder()),
              std::optional<DWORD>(kAbortedByScript));
    EXPECT_TRUE(fileExists(installed(L"velmora.exe")));
    EXPECT_TRUE(uninstallValue(L"DisplayName").has_value());

    closeVelmora();
    // Over the installed version: its service stopped and removed by its own program, then the new
    // one registered and started.
    const UniqueHandle oldService(OpenProcess(SYNCHRONIZE, FALSE, expectServiceRunsFrom(folder())));
    EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(0));
    EXPECT_EQ(testing::readBytes(installed(L"defaultgate.pbk")), testing::kDefaultGatePbk);
    EXPECT_EQ(WaitForSingleObject(oldService.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the old service runs on";
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);

    // A service that its program cannot remove (here a program that fails the verb) stops the
    // install and the uninstall before anything is copied or removed.
    stopService(false);
    ASSERT_TRUE(CopyFileW((testing::programFolder() + L"\\velmora_test_child.exe").c_str(),
                          installed(L"velmora-service.exe").c_str(), FALSE));
    ASSERT_TRUE(DeleteFileW(installed(L"defaultgate.pbk").c_str()));
    EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(kServiceNotRemoved));
    EXPECT_FALSE(fileExists(installed(L"defaultgate.pbk"))) << "a stopped install copies nothing";
    EXPECT_EQ(run(uninstallInPlace(L"/S ")), std::optional<DWORD>(kServiceNotRemoved));
    EXPECT_TRUE(fileExists(installed(L"velmora.exe"))) << "a stopped uninstall removes nothing";
    EXPECT_TRUE(uninstallValue(L"DisplayName").has_value());
    EXPECT_TRUE(velmoraService().has_value());
    ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\velmora-service.exe").c_str(),
                          installed(L"velmora-service.exe").c_str(), FALSE));
    EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(0));
    EXPECT_EQ(testing::readBytes(installed(L"defaultgate.pbk")), testing::kDefaultGatePbk);
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);

    for (const std::wstring& file : kStandIns) {
        DeleteFileW(installed(file).c_str());
    }
    uninstall();
    expectNoServiceLeft();
    EXPECT_TRUE(eventually([&] { return !fileExists(folder()); }, kWaitMs)) << "the emptied folder goes too";
}

TEST_P(InstallerScenario, silentInstallSetsTheSwitchAndTheUninstallPutsBackWhatItFound) {
    for (const long long found : {kNoKey, kNoValue, 0LL, 1LL}) {
        SCOPED_TRACE(found);
        putSwitch(found);
        // A deployment script learns from the exit code that Windows must restart.
        const DWORD restart = found == 1 ? 0 : kRestartPending;
        EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(restart));
        EXPECT_EQ(readSwitch(), 1);
        // When it changed the switch, for the program's reminder until Windows restarts.
        EXPECT_EQ(uninstallValue(L"SwitchSetAt").has_value(), found != 1);
        // Installed again over itself, it finds its own 1 and keeps what it found first.
        EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(0));
        EXPECT_EQ(run(uninstallInPlace(L"/S ")), std::optional<DWORD>(restart));
        EXPECT_EQ(readSwitch(), found);
    }
}

TEST_P(InstallerScenario, withoutARestartTheFinishPageRunsVelmoraAndTheUninstallerSaysWhatItPutBack) {
    auto [process, wizard] = throughThePages(setup(), {{"欢迎使用 Velmora VPN 安装程序", "welcome"},
                                                       {"选择 Velmora VPN 的安装文件夹", "folder"},
                                                       {"运行 Velmora VPN", "finish"}});
    prepareDefaultGatewayDial();
    const HWND runBox = shownWith(wizard, "运行 Velmora VPN");
    EXPECT_EQ(textOf(runBox), "运行 Velmora VPN");
    EXPECT_EQ(SendMessageW(runBox, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(shownWith(wizard, "重新启动"), nullptr);
    pressNext(wizard);
    EXPECT_EQ(exitCode(process), std::optional<DWORD>(0));
    velmora_ = WindowDriver::find(0, kWaitMs);
    EXPECT_TRUE(velmora_.has_value()) << "the finish page did not start velmora.exe";
    closeVelmora();

    std::tie(process, wizard) = throughThePages(uninstallInPlace(), {{"并把安装时修改的注册表设置恢复", "uninstall-confirm"},
                                                                     {"ProhibitIpsec 已恢复为安装前的状态", "uninstall-finish"}});
    EXPECT_NE(shownWith(wizard, "l2tpipsec.ini"), nullptr) << "beside the files it keeps";
    EXPECT_NE(shownWith(wizard, "含 VPN 密码和预共享的密钥"), nullptr);
    EXPECT_NE(shownWith(wizard, narrow(userSettingsFolder())), nullptr) << "where the user finds them";
    pressNext(wizard);
    EXPECT_EQ(exitCode(process), std::optional<DWORD>(0));
    EXPECT_EQ(readSwitch(), 1);
    expectOneWording(pageTexts);
}

TEST_P(InstallerScenario, afterAChangeOfTheSwitchBothFinishPagesOfferTheRestartForLater) {
    putSwitch(kNoValue);
    auto [process, wizard] = throughThePages(setup(), {{"欢迎使用", "welcome"}, {"安装文件夹", "folder"},
                                                       {"是否立即重新启动", "finish-restart"}});
    EXPECT_EQ(shownWith(wizard, "运行 Velmora VPN"), nullptr);
    // What the switch means for the user: every L2TP connection, and no connection before the restart.
    EXPECT_NE(shownWith(wizard, "本计算机的所有 L2TP 连接"), nullptr);
    EXPECT_NE(shownWith(wizard, "重新启动之前，Velmora VPN 不能建立第一个连接"), nullptr);
    EXPECT_EQ(SendMessageW(shownWith(wizard, "之后重新启动"), BM_GETCHECK, 0, 0), BST_CHECKED);
    pressNext(wizard);
    EXPECT_EQ(exitCode(process), std::optional<DWORD>(kRestartPending));
    EXPECT_FALSE(WindowDriver::find(0, 3000).has_value()) << "velmora.exe started before the restart";

    std::tie(process, wizard) = throughThePages(uninstallInPlace(), {{"并把安装时修改的注册表设置恢复", "uninstall-confirm"},
                                                                     {"是否立即重新启动", "uninstall-finish-restart"}});
    EXPECT_NE(shownWith(wizard, "ProhibitIpsec 已恢复"), nullptr);
    // The files it keeps are named in this variant too, with the password they hold.
    EXPECT_NE(shownWith(wizard, narrow(userSettingsFolder())), nullptr);
    EXPECT_NE(shownWith(wizard, "含 VPN 密码和预共享的密钥"), nullptr);
    EXPECT_EQ(SendMessageW(shownWith(wizard, "之后重新启动"), BM_GETCHECK, 0, 0), BST_CHECKED);
    pressNext(wizard);
    EXPECT_EQ(exitCode(process), std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(readSwitch(), kNoValue);
    expectOneWording(pageTexts);
}

INSTANTIATE_TEST_SUITE_P(Windows, InstallerScenario, ::testing::Values("win2k", "win10"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Wine's msiexec differs from Windows' where these scenarios meet it:
// - its exit codes reach a Unix shell modulo 256 (3010 as 194); a Windows program that starts it,
//   as these scenarios do, gets them whole;
// - the Start menu shortcut of a per-machine package goes into the user's own Start menu;
// - during a major upgrade it removes the older version as a plain uninstall, without telling it
//   (UPGRADINGPRODUCTCODE) that it is being replaced: the older version finds the newer one
//   installed (OTHERVERSION) and leaves it the switch and the profile;
// - the rollback of a failed upgrade deletes the files the upgrade replaced, which Windows puts
//   back from its backup.
constexpr DWORD kMsiFailed = 1603;
// Wine's exit code when a deferred custom action fails (Windows' is kMsiFailed).
constexpr DWORD kMsiActionFailed = 1627;
constexpr const wchar_t* kProfileKey = L"Software\\Velmora\\VPN";

std::optional<DWORD> msiexec(const std::wstring& arguments) {
    return run(L"msiexec " + arguments);
}

std::wstring installing(const char* package, const std::wstring& properties = {}) {
    return L"/i \"" + widen(package) + L"\" /qn" + (properties.empty() ? L"" : L" " + properties);
}

bool productInstalled(const char* productCode) {
    return MsiQueryProductStateW(widen(productCode).c_str()) == INSTALLSTATE_DEFAULT;
}

std::optional<std::wstring> profileValue(const wchar_t* name) {
    return machineValue(kProfileKey, name);
}

// The accounts (SID strings) the profile key's access list lets in.
std::set<std::wstring> profileReaders() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    if (GetNamedSecurityInfoW(L"MACHINE\\SOFTWARE\\Velmora\\VPN", SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {L"unreadable"};
    }
    std::set<std::wstring> readers = testing::grantedTo(dacl);
    LocalFree(descriptor);
    return readers;
}

class MsiScenario : public InstallerScenario {
protected:
    ~MsiScenario() override {
        closeVelmora();
        for (const char* package : {VELMORA_MSI, VELMORA_MSI_OLDER, VELMORA_MSI_FAILING}) {
            msiexec(L"/x \"" + widen(package) + L"\" /qn");
        }
    }

    static std::wstring userStartMenuShortcut() { return shellFolder(CSIDL_PROGRAMS) + L"\\Velmora VPN.lnk"; }

    void copyStandIns() const {
        for (const std::wstring& file : kStandIns) {
            ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\" + file).c_str(), installed(file).c_str(), FALSE));
        }
    }
};

TEST_P(MsiScenario, silentInstallGivesTheProfileAndTheServiceRunsTheConnectAndTakesItBackFromAKilledWindow) {
    // A switch already set: nothing to restart for.
    ASSERT_EQ(msiexec(installing(VELMORA_MSI, L"SERVER=vpn.example.com PROTOCOL=L2TP IPSEC=1 PSK=Zq8preshared "
                                              L"SUITE=ESP-3DES-SHA REMOTENET1=10.8.0.0/255.255.0.0")),
              std::optional<DWORD>(0));
    EXPECT_TRUE(productInstalled(VELMORA_MSI_CODE));
    // The same files in the same folder as velmora-setup.exe's, its uninstaller aside, and the same
    // service.
    for (const wchar_t* program : {L"velmora.exe", L"velmora-service.exe"}) {
        EXPECT_EQ(testing::readBytes(installed(program)), testing::readBytes(widen(VELMORA_PROGRAMS_DIR) + L"\\" + program))
            << narrow(program);
    }
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);
    EXPECT_TRUE(fileExists(installed(L"velmora-ipsec.exe")));
    EXPECT_EQ(testing::readBytes(installed(L"defaultgate.pbk")), testing::kDefaultGatePbk);
    const auto shortcut = readShortcut(userStartMenuShortcut());
    ASSERT_TRUE(shortcut.has_value());
    EXPECT_EQ(shortcut->target, installed(L"velmora.exe"));
    // As Windows Installer writes a folder: with its backslash.
    EXPECT_EQ(shortcut->workingFolder, folder() + L"\\");
    wchar_t text[64] = {};
    DWORD size = 64;
    EXPECT_EQ(MsiGetProductInfoW(widen(VELMORA_MSI_CODE).c_str(), INSTALLPROPERTY_VERSIONSTRING, text, &size),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(narrow(text), VELMORA_VERSION);
    // The preshared key is kept where only the administrators and the system may read it.
    EXPECT_EQ(profileValue(L"PSK"), std::optional<std::wstring>(L"Zq8preshared"));
    EXPECT_EQ(profileReaders(), (std::set<std::wstring>{L"S-1-5-32-544", L"S-1-5-18"}));  // Administrators, SYSTEM

    copyStandIns();
    const auto process = start(L"\"" + installed(L"velmora.exe") + L"\"", folder());
    ASSERT_TRUE(process.has_value());
    CloseHandle(process->hProcess);
    velmora_ = WindowDriver::find(process->dwProcessId, kWaitMs);
    ASSERT_TRUE(velmora_.has_value());
    // The profile filled the fields: no word of fallbacks.
    ASSERT_TRUE(eventually([&] { return velmora_->complete() && IsWindowVisible(velmora_->window()); }, kWaitMs));
    EXPECT_TRUE(velmora_->messageBoxes().empty());
    EXPECT_EQ(velmora_->text(Control::txtServerAddress), "vpn.example.com");
    EXPECT_EQ(velmora_->text(Control::txtpreshare), "Zq8preshared");
    EXPECT_EQ(velmora_->text(Control::txtpeer), "10.8.0.0");
    EXPECT_EQ(velmora_->text(Control::txtpeermask), "255.255.0.0");
    EXPECT_EQ(velmora_->text(Control::comalg), "ESP-3DES-SHA");
    EXPECT_EQ(velmora_->checked(Control::Check1), kChecked);

    velmora_->setText(Control::txtUserName, "zhangwei");
    velmora_->setText(Control::txtPasswd, "secret1");
    ASSERT_TRUE(velmora_->clickLater(Control::Command1));
    EXPECT_TRUE(velmora_->answerMessageBox("拨号成功！", kWaitMs));
    const auto journal = sim::readJournal();
    const auto anyLine = [&](const std::string& part) {
        for (const std::string& line : journal) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(anyLine("rasdial corvinaltexum zhangwei secret1 /PHONE:vpn.example.com /PHONEBOOK:\"" +
                        narrow(installed(L"ipsec.pbk")) + "\""));
    EXPECT_TRUE(anyLine("Zq8preshared")) << "the policy takes the administrator's key";
    EXPECT_TRUE(anyLine("10.8.0.0"));

    // The window asked; the service ran the dial, the policy's tool and, at the link watch's tick,
    // the routes.
    const auto journalled = [](const std::string& line) {
        const auto lines = sim::readJournal();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    ASSERT_TRUE(eventually([&] { return journalled("route add 10.8.0.0 mask 255.255.0.0 10.10.10.4 metric 1"); },
                           kWaitMs));
    std::map<std::string, int> byTheService;
    for (const sim::JournalEntry& entry : sim::readJournalStarters()) {
        const std::string tool = entry.line.substr(0, entry.line.find(' '));
        if (tool == "rasdial" || tool == "route") {
            EXPECT_EQ(entry.parent, "velmora-service.exe") << entry.line;
        } else if (tool == "netsh") {
            EXPECT_EQ(entry.parent + "<" + entry.grandparent, "velmora-ipsec.exe<velmora-service.exe") << entry.line;
        }
        ++byTheService[tool];
    }
    EXPECT_EQ(byTheService["rasdial"], 1);
    EXPECT_GE(byTheService["route"], 1);
    EXPECT_GE(byTheService["netsh"], 18) << "two rules' steps";

    // The window ends without a word, as the Task Manager ends it: the service takes back what it
    // made, the link, the policy and the routes, within seconds.
    {
        const UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, velmora_->processId()));
        ASSERT_TRUE(TerminateProcess(process.get(), 1));
        ASSERT_EQ(WaitForSingleObject(process.get(), kWaitMs), WAIT_OBJECT_0);
        velmora_.reset();
    }
    EXPECT_TRUE(eventually(
        [&] {
            const sim::IpsecStore store = sim::loadIpsecStore();
            return sim::loadConnections().empty() && journalled("route delete 10.8.0.0 mask 255.255.0.0 10.10.10.4") &&
                   store.rules.empty() &&
                   store.policy("corvinaltexum") != nullptr && !store.policy("corvinaltexum")->assigned;
        },
        10000))
        << "within 10 seconds of the window's end";
}

TEST_P(MsiScenario, aStartBeforeTheRestartRemindsTheUserAndGoesOn) {
    putSwitch(kNoValue);
    ASSERT_EQ(msiexec(installing(VELMORA_MSI)), std::optional<DWORD>(kRestartPending));
    copyStandIns();
    const auto process = start(L"\"" + installed(L"velmora.exe") + L"\"", folder());
    ASSERT_TRUE(process.has_value());
    CloseHandle(process->hProcess);
    velmora_ = WindowDriver::find(process->dwProcessId, kWaitMs);
    ASSERT_TRUE(velmora_.has_value());
    EXPECT_TRUE(velmora_->answerMessageBox("安装程序修改了注册表设置 ProhibitIpsec，计算机重新启动后才能生效，"
                                           "重新启动之前不能建立连接。请先重新启动计算机！", kWaitMs));
    EXPECT_TRUE(velmora_->answerMessageBox("配置文件不存在，恢复默认配置！", kWaitMs));
    EXPECT_TRUE(eventually([&] { return IsWindowVisible(velmora_->window()) != FALSE; }, kWaitMs));
}

// An upgrade replaces the older version and keeps the profile, but for what the administrator gives
// anew or clears; a repair writes nothing; the older one, offered afterwards, is refused as a
// downgrade and writes nothing.
TEST_P(MsiScenario, anUpgradeReplacesTheOlderVersionInPlaceKeepsTheProfileAndRefusesTheDowngrade) {
    putSwitch(0);
    ASSERT_EQ(msiexec(installing(VELMORA_MSI_OLDER, L"SERVER=vpn.example.com PSK=Zq8preshared AUTODIAL=1")),
              std::optional<DWORD>(kRestartPending));
    ASSERT_TRUE(productInstalled(VELMORA_MSI_OLDER_CODE));
    // The switch is already set: no restart.
    EXPECT_EQ(msiexec(installing(VELMORA_MSI, L"PSK=NewKey42 AUTODIAL=-")), std::optional<DWORD>(0));
    EXPECT_FALSE(productInstalled(VELMORA_MSI_OLDER_CODE));
    EXPECT_TRUE(productInstalled(VELMORA_MSI_CODE));
    EXPECT_TRUE(fileExists(installed(L"velmora.exe")));
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);
    EXPECT_EQ(readSwitch(), 1);
    EXPECT_EQ(profileValue(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));
    EXPECT_EQ(profileValue(L"PSK"), std::optional<std::wstring>(L"NewKey42"));
    EXPECT_EQ(profileValue(L"AUTODIAL"), std::nullopt) << "cleared by \"-\"";

    // A repair, which a user may be allowed to run elevated, leaves the profile alone.
    EXPECT_EQ(msiexec(installing(VELMORA_MSI, L"SERVER=rogue.example.com")), std::optional<DWORD>(0));
    EXPECT_EQ(profileValue(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));

    EXPECT_EQ(msiexec(installing(VELMORA_MSI_OLDER, L"SERVER=old.example.com")), std::optional<DWORD>(kMsiFailed));
    EXPECT_TRUE(productInstalled(VELMORA_MSI_CODE));
    EXPECT_FALSE(productInstalled(VELMORA_MSI_OLDER_CODE));
    EXPECT_EQ(profileValue(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com")) << "a refused install writes nothing";
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);

    // The last uninstall gives back what the first installation found.
    EXPECT_EQ(msiexec(L"/x \"" + widen(VELMORA_MSI) + L"\" /qn"), std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(readSwitch(), 0);
}

// An upgrade whose last step fails leaves the older version installed with its profile and the
// switch as they were, and its record of what the computer had before, which its uninstall then
// gives back. (The files are not looked at: see Wine's rollback above.)
TEST_P(MsiScenario, anUpgradeThatFailsLeavesTheOlderVersionItsProfileAndTheSwitch) {
    putSwitch(0);
    ASSERT_EQ(msiexec(installing(VELMORA_MSI_OLDER, L"SERVER=vpn.example.com PSK=Zq8preshared AUTODIAL=1")),
              std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(msiexec(installing(VELMORA_MSI_FAILING, L"SERVER=new.example.com PSK=NewKey42 AUTODIAL=-")),
              std::optional<DWORD>(kMsiActionFailed));
    EXPECT_TRUE(productInstalled(VELMORA_MSI_OLDER_CODE));
    EXPECT_EQ(profileValue(L"SERVER"), std::optional<std::wstring>(L"vpn.example.com"));
    EXPECT_EQ(profileValue(L"PSK"), std::optional<std::wstring>(L"Zq8preshared"));
    EXPECT_EQ(profileValue(L"AUTODIAL"), std::optional<std::wstring>(L"1"));
    EXPECT_EQ(profileReaders(), (std::set<std::wstring>{L"S-1-5-32-544", L"S-1-5-18"}));
    EXPECT_EQ(readSwitch(), 1);

    EXPECT_EQ(msiexec(L"/x \"" + widen(VELMORA_MSI_OLDER) + L"\" /qn"), std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(readSwitch(), 0);
    EXPECT_EQ(profileValue(L"SERVER"), std::nullopt);
}

// An installation refused writes nothing: one for a single user, one with a value the program could
// not use; and one over velmora-setup.exe's installation, which goes first and, uninstalled, leaves
// the switch as the computer had it before the first installation.
TEST_P(MsiScenario, refusedInstallationsWriteNothingAndSetupsInstallationGoesFirst) {
    putSwitch(kNoValue);
    for (const wchar_t* properties : {L"ALLUSERS=\"\"", L"AUTODIAL=yes", L"SUITE=AES256 PSK=Zq8preshared"}) {
        SCOPED_TRACE(narrow(properties));
        EXPECT_EQ(msiexec(installing(VELMORA_MSI, properties)), std::optional<DWORD>(kMsiFailed));
        EXPECT_FALSE(productInstalled(VELMORA_MSI_CODE));
        EXPECT_FALSE(fileExists(installed(L"velmora.exe")));
        EXPECT_EQ(profileValue(L"PSK"), std::nullopt);
        EXPECT_EQ(readSwitch(), kNoValue);
    }

    ASSERT_EQ(run(setup() + L" /S"), std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(msiexec(installing(VELMORA_MSI, L"PSK=Zq8preshared")), std::optional<DWORD>(kMsiFailed));
    EXPECT_FALSE(productInstalled(VELMORA_MSI_CODE));
    EXPECT_EQ(profileValue(L"PSK"), std::nullopt);
    EXPECT_TRUE(uninstallValue(L"DisplayName").has_value()) << "velmora-setup.exe's installation stays whole";
    uninstall();
    EXPECT_EQ(readSwitch(), kNoValue);
}

TEST_P(MsiScenario, theUninstallGivesTheSwitchBackAndRemovesWhatItInstalled) {
    for (const long long found : {kNoKey, kNoValue, 0LL, 1LL}) {
        SCOPED_TRACE(found);
        putSwitch(found);
        const DWORD restart = found == 1 ? 0 : kRestartPending;
        ASSERT_EQ(msiexec(installing(VELMORA_MSI, L"PSK=Zq8preshared")), std::optional<DWORD>(restart));
        EXPECT_EQ(readSwitch(), 1);
        EXPECT_NE(expectServiceRunsFrom(folder()), 0u);
        writeServiceFiles();
        Win32TextFiles files;
        CreateDirectoryW(userSettingsFolder().c_str(), nullptr);
        ASSERT_TRUE(files.writeLines(narrow(userSettings()), {"corvinaltexum"}));
        plantLogonStarts(installed(L"velmora.exe"));

        EXPECT_EQ(msiexec(L"/x \"" + widen(VELMORA_MSI) + L"\" /qn"), std::optional<DWORD>(restart));
        EXPECT_EQ(readSwitch(), found);
        EXPECT_FALSE(productInstalled(VELMORA_MSI_CODE));
        expectNoServiceLeft();
        for (const wchar_t* file : {L"velmora.exe", L"velmora-service.exe", L"velmora-ipsec.exe", L"defaultgate.pbk"}) {
            EXPECT_FALSE(fileExists(installed(file))) << narrow(file);
        }
        EXPECT_FALSE(fileExists(folder()));
        EXPECT_FALSE(fileExists(userStartMenuShortcut()));
        EXPECT_EQ(profileValue(L"PSK"), std::nullopt);
        expectNoLogonStart();
        EXPECT_EQ(testing::readBytes(userSettings()), "corvinaltexum\r\n") << "the user's settings stay";
    }
}

// Both installers put the same files into the same folder, each under its own record: velmora-setup.exe
// refuses while the package's product is installed, writes nothing, and says what to remove first.
TEST_P(MsiScenario, velmoraSetupIsRefusedWhileThePackageIsInstalledAndWritesNothing) {
    putSwitch(0);
    ASSERT_EQ(msiexec(installing(VELMORA_MSI)), std::optional<DWORD>(kRestartPending));
    ASSERT_TRUE(productInstalled(VELMORA_MSI_CODE));
    // A file velmora-setup.exe would copy, gone: a refused run must not bring it back.
    ASSERT_TRUE(DeleteFileW(installed(L"defaultgate.pbk").c_str()));

    EXPECT_EQ(run(setup() + L" /S"), std::optional<DWORD>(kMsiInstalled));
    EXPECT_FALSE(uninstallValue(L"DisplayName").has_value()) << "no second Add/Remove Programs entry";
    EXPECT_FALSE(uninstallValue(L"SwitchRecorded").has_value());
    EXPECT_FALSE(fileExists(installed(L"uninstall.exe")));
    EXPECT_FALSE(fileExists(installed(L"defaultgate.pbk")));
    EXPECT_EQ(readSwitch(), 1);
    EXPECT_NE(expectServiceRunsFrom(folder()), 0u);
    // With its pages, the installer names what to run first.
    const auto withPages = start(setup());
    ASSERT_TRUE(withPages.has_value());
    std::pair<DWORD, std::optional<std::string>> seen{withPages->dwProcessId, std::nullopt};
    EXPECT_TRUE(eventually([&] { return !EnumWindows(answerMessageBoxOf, reinterpret_cast<LPARAM>(&seen)); }, kWaitMs));
    EXPECT_EQ(seen.second, std::string("Velmora VPN 已经由 Windows Installer 程序包 velmora.msi 安装在本计算机上。"
                                       "请先卸载它：在“添加或删除程序”中删除 Velmora VPN，或者运行 msiexec /x ") +
                               VELMORA_MSI_CODE + "，然后再运行安装程序。");
    EXPECT_EQ(exitCode(withPages->hProcess), std::optional<DWORD>(kMsiInstalled));
    EXPECT_FALSE(uninstallValue(L"DisplayName").has_value());

    // The package's uninstall gives back what the computer had before its installation.
    EXPECT_EQ(msiexec(L"/x \"" + widen(VELMORA_MSI) + L"\" /qn"), std::optional<DWORD>(kRestartPending));
    EXPECT_EQ(readSwitch(), 0);
    EXPECT_FALSE(productInstalled(VELMORA_MSI_CODE));
}

INSTANTIATE_TEST_SUITE_P(Windows, MsiScenario, ::testing::Values("win10"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace velmora
