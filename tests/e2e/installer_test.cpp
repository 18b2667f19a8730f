// velmora-setup.exe under Wine, as an administrator would use it: the silent install and what it
// leaves (files, shortcuts read back through the shell, the Add/Remove Programs entry), velmora.exe
// started from its Start-menu shortcut dialling with defaultgate.pbk, the silent uninstall, and
// the refusals while velmora.exe runs. Each scenario runs in a Wine session of its own, once with
// Wine reporting Windows 2000 and once Windows 10 (see wine_tests.cmake).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/settings/settings_lines.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_text_files.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"
#include "ui/layout.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::eventually;

constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora";
constexpr const wchar_t* kParametersKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";
constexpr const wchar_t* kShortcutName = L"\\Velmora VPN.lnk";
// What the installer puts into the install folder, besides itself.
const std::vector<std::wstring> kInstalledFiles = {L"velmora.exe", L"defaultgate.pbk", L"uninstall.exe"};
// The simulated remote-access service and tools: test equipment, put beside the installed program.
const std::vector<std::wstring> kStandIns = {L"rasapi32.dll", L"rasdial.exe", L"route.exe",
                                             L"ping.exe",     L"ipseccmd.exe", L"ipsecpol.exe"};
// What the installer exits with when it refuses (NSIS: aborted by the script).
constexpr DWORD kAbortedByScript = 2;
constexpr int kWaitMs = 30000;

std::wstring folderOf(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Runs a program with arguments and waits for it; its exit code, or nothing when it never ended.
std::optional<DWORD> run(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder = {}) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) {
        return std::nullopt;
    }
    return code;
}

std::optional<std::wstring> registryText(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG read = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::optional<std::wstring>(value) : std::nullopt;
}

std::optional<DWORD> registryNumber(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG read = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_DWORD ? std::optional<DWORD>(value) : std::nullopt;
}

bool uninstallEntryExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
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

struct MessageBoxSearch {
    DWORD processId;
    std::optional<std::string> text;
};

// Reads and answers the first message box of the process the search names.
BOOL CALLBACK answerMessageBoxOf(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<MessageBoxSearch*>(context);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || std::wstring(name) != L"#32770" || !IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t text[512] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 512);
    search->text = narrow(text);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

std::optional<std::string> messageBoxText(DWORD processId) {
    MessageBoxSearch search{processId, std::nullopt};
    EnumWindows(answerMessageBoxOf, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// Runs the installer with its windows, answers the message box it shows first and returns that
// box's text and the installer's exit code.
std::pair<std::string, std::optional<DWORD>> runAndAnswer(const std::wstring& program) {
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return {"", std::nullopt};
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    std::optional<std::string> text;
    eventually([&] { return (text = messageBoxText(info.dwProcessId)).has_value(); }, kWaitMs);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code)) {
        return {text.value_or(""), std::nullopt};
    }
    return {text.value_or(""), code};
}

// The size of a file in whole kilobytes, rounded up.
DWORD kilobytes(const std::wstring& path) {
    return static_cast<DWORD>((testing::readBytes(path).size() + 1023) / 1024);
}

class InstallerScenario : public ::testing::TestWithParam<const char*> {
protected:
    InstallerScenario() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        GetCurrentDirectoryW(MAX_PATH, startFolder);
        setWineVersion(GetParam());
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());
        for (const wchar_t* file : {L"C:\\l2tpipsec.ini", L"C:\\ipsec.pbk", L"C:\\pptp.pbk"}) {
            DeleteFileW(file);
        }
    }

    ~InstallerScenario() override {
        for (HANDLE process : started) {
            closeVelmora(process);
            CloseHandle(process);
        }
        // Whatever a failed scenario left behind goes, so that the next starts clean.
        const std::wstring folder = installFolder();
        for (const auto& list : {kInstalledFiles, kStandIns}) {
            for (const std::wstring& file : list) {
                DeleteFileW((folder + L"\\" + file).c_str());
            }
        }
        RemoveDirectoryW(folder.c_str());
        DeleteFileW(startMenuShortcut().c_str());
        DeleteFileW(desktopShortcut().c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
        setWineVersion(nullptr);
        SetCurrentDirectoryW(startFolder);
        SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
        Win32Processes().runAndWait("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
        CoUninitialize();
    }

    // The version Wine reports to the programs started from now on; Wine's default for none.
    static void setWineVersion(const char* version) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return;
        }
        if (version != nullptr) {
            const std::wstring text = widen(version);
            RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, L"Version");
        }
        RegCloseKey(key);
    }

    static std::wstring defaultInstallFolder() { return folderOf(CSIDL_PROGRAM_FILES) + L"\\Velmora"; }
    std::wstring installFolder() const { return folder_.empty() ? defaultInstallFolder() : folder_; }
    static std::wstring startMenuShortcut() { return folderOf(CSIDL_COMMON_PROGRAMS) + kShortcutName; }
    static std::wstring desktopShortcut() { return folderOf(CSIDL_COMMON_DESKTOPDIRECTORY) + kShortcutName; }
    static std::wstring setup() { return widen(VELMORA_SETUP); }

    // Installs silently, into the folder given or else the default one.
    void install(const std::wstring& folder = {}) {
        folder_ = folder;
        ASSERT_EQ(run(setup(), folder.empty() ? L"/S" : L"/S /D=" + folder), std::optional<DWORD>(0));
    }

    // As Add/Remove Programs does it silently: the uninstaller copies itself away and returns at
    // once, so its work is seen when the entry has gone.
    void uninstall() {
        const auto uninstaller = registryText(L"UninstallString");
        ASSERT_TRUE(uninstaller.has_value());
        std::wstring line = *uninstaller + L" /S";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        ASSERT_TRUE(eventually([] { return !uninstallEntryExists(); }, kWaitMs));
        ASSERT_TRUE(eventually([&] { return !testing::fileExists(installFolder() + L"\\uninstall.exe"); }, kWaitMs));
    }

    // The stand-ins of the remote-access service beside the installed program, as in the test lab.
    void addStandIns() const {
        for (const std::wstring& file : kStandIns) {
            ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\" + file).c_str(),
                                  (installFolder() + L"\\" + file).c_str(), FALSE));
        }
    }

    // Settings that make Connect a default-gateway dial, and the registry switch as after the
    // restart the program asks for.
    static void prepareDefaultGatewayDial() {
        ConnProfile p = fallbackProfile();
        p.txtServerAddress = "203.0.113.10";
        p.txtUserName = "zhangwei";
        p.txtPasswd = "secret1";
        p.Check2 = kChecked;
        Win32AnsiCodec codec;
        ASSERT_TRUE(Win32TextFiles().writeLines("C:\\l2tpipsec.ini", composeSettings(p, codec).lines));
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const DWORD one = 1;
        RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
        RegCloseKey(key);
    }

    // Starts the installed velmora.exe and waits for its window.
    std::optional<WindowDriver> startVelmora() {
        std::wstring line = L"\"" + installFolder() + L"\\velmora.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, installFolder().c_str(),
                            &startup, &info)) {
            return std::nullopt;
        }
        CloseHandle(info.hThread);
        started.push_back(info.hProcess);
        return WindowDriver::find(info.dwProcessId, kWaitMs);
    }

    static void closeVelmora(HANDLE process) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            if (const auto window = WindowDriver::find(GetProcessId(process), 0)) {
                PostMessageW(window->window(), WM_CLOSE, 0, 0);
            }
            if (WaitForSingleObject(process, 10000) == WAIT_TIMEOUT) {
                TerminateProcess(process, 1);
                WaitForSingleObject(process, 5000);
            }
        }
    }

    testing::TempFolder sim;
    std::vector<HANDLE> started;

private:
    std::wstring folder_;
    wchar_t startFolder[MAX_PATH] = {};
};

TEST_P(InstallerScenario, wineReportsTheScenariosWindowsVersion) {
    const std::wstring report = sim.file(L"version.txt");
    ASSERT_EQ(run(testing::programFolder() + L"\\velmora_version_probe.exe", L"\"" + report + L"\""),
              std::optional<DWORD>(0));
    // A program whose manifest does not name Windows 10 (this probe's) is told Windows 8 there,
    // as Windows 10 itself does.
    const bool windows2000 = std::string(GetParam()) == "win2k";
    EXPECT_EQ(testing::readBytes(report), windows2000 ? "5.0|ipsecpol|Service Pack 4" : "6.2|ipseccmd|");
}

TEST_P(InstallerScenario, silentInstallPutsTheFilesTheShortcutsAndTheUninstallEntry) {
    install();
    const std::wstring folder = installFolder();
    EXPECT_EQ(folder, folderOf(CSIDL_PROGRAM_FILES) + L"\\Velmora");
    for (const std::wstring& file : kInstalledFiles) {
        EXPECT_TRUE(testing::fileExists(folder + L"\\" + file)) << narrow(file);
    }
    const std::string program = testing::readBytes(folder + L"\\velmora.exe");
    EXPECT_EQ(program, testing::readBytes(widen(VELMORA_PROGRAMS_DIR) + L"\\velmora.exe"));
    EXPECT_EQ(testing::readBytes(folder + L"\\defaultgate.pbk"), testing::kDefaultGatePbk);

    for (const std::wstring& path : {startMenuShortcut(), desktopShortcut()}) {
        const auto shortcut = readShortcut(path);
        ASSERT_TRUE(shortcut.has_value()) << narrow(path);
        EXPECT_EQ(shortcut->target, folder + L"\\velmora.exe") << narrow(path);
        // The default-gateway dial looks for defaultgate.pbk in the folder the program starts in.
        EXPECT_EQ(shortcut->workingFolder, folder) << narrow(path);
        EXPECT_EQ(shortcut->iconFile, folder + L"\\velmora.exe") << narrow(path);
        EXPECT_EQ(shortcut->iconIndex, 0) << narrow(path);
    }

    EXPECT_EQ(registryText(L"DisplayName"), std::optional<std::wstring>(L"Velmora VPN"));
    EXPECT_EQ(registryText(L"DisplayIcon"), std::optional<std::wstring>(folder + L"\\velmora.exe,0"));
    EXPECT_EQ(registryText(L"DisplayVersion"), std::optional<std::wstring>(widen(VELMORA_VERSION)));
    EXPECT_EQ(registryText(L"Publisher"), std::optional<std::wstring>(L"Velmora"));
    EXPECT_EQ(registryText(L"UninstallString"), std::optional<std::wstring>(L"\"" + folder + L"\\uninstall.exe\""));
    EXPECT_EQ(registryText(L"InstallLocation"), std::optional<std::wstring>(folder));
    const DWORD files = kilobytes(folder + L"\\velmora.exe") + kilobytes(folder + L"\\defaultgate.pbk");
    const auto size = registryNumber(L"EstimatedSize");
    ASSERT_TRUE(size.has_value());
    EXPECT_GE(*size, files - 2);
    EXPECT_LE(*size, files);
}

TEST_P(InstallerScenario, theStartMenuShortcutStartsADefaultGatewayDialThatFindsThePhonebook) {
    install();
    addStandIns();
    prepareDefaultGatewayDial();
    // Started from elsewhere: only the shortcut's working folder leads rasdial to the phonebook.
    SetCurrentDirectoryW(sim.path().c_str());

    const std::wstring shortcut = startMenuShortcut();
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = shortcut.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ASSERT_TRUE(ShellExecuteExW(&execute));
    if (execute.hProcess != nullptr) {
        started.push_back(execute.hProcess);
    }
    const auto window = WindowDriver::find(0, kWaitMs);
    ASSERT_TRUE(window.has_value()) << "velmora.exe did not start from its shortcut";
    if (execute.hProcess == nullptr) {
        started.push_back(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                      window->processId()));
    }
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window->window()) != FALSE; }, kWaitMs));

    ASSERT_TRUE(window->clickLater(Control::Command1));
    EXPECT_TRUE(window->answerMessageBox("拨号成功！", kWaitMs));
    EXPECT_EQ(sim::readJournal(), std::vector<std::string>{
                                      "rasdial corvinaltexum zhangwei secret1 /PHONE:203.0.113.10 "
                                      "/PHONEBOOK:defaultgate.pbk "});
    ASSERT_EQ(sim::loadConnections().size(), 1u);
    EXPECT_EQ(sim::loadConnections()[0].entryName, "corvinaltexum");
}

TEST_P(InstallerScenario, silentUninstallRemovesWhatItInstalledAndKeepsTheUsersFiles) {
    // A folder of the user's choice, with a blank and Chinese in its name.
    install(L"C:\\VPN 客户端\\Velmora");
    addStandIns();
    const std::string settings = "corvinaltexum\r\n";
    Win32TextFiles files;
    ASSERT_TRUE(files.writeLines("C:\\l2tpipsec.ini", {"corvinaltexum"}));
    ASSERT_TRUE(files.writeLines("C:\\ipsec.pbk", {"[corvinaltexum]"}));
    ASSERT_TRUE(files.writeLines("C:\\pptp.pbk", {"[corvinaltexum]"}));
    ASSERT_TRUE(testing::fileExists(startMenuShortcut()));

    uninstall();
    for (const std::wstring& file : kInstalledFiles) {
        EXPECT_TRUE(eventually([&] { return !testing::fileExists(installFolder() + L"\\" + file); }, kWaitMs))
            << narrow(file);
    }
    EXPECT_FALSE(testing::fileExists(startMenuShortcut()));
    EXPECT_FALSE(testing::fileExists(desktopShortcut()));
    // What the installer did not put there stays, and so does the folder that holds it.
    for (const std::wstring& file : kStandIns) {
        EXPECT_TRUE(testing::fileExists(installFolder() + L"\\" + file)) << narrow(file);
    }
    EXPECT_EQ(testing::readBytes(L"C:\\l2tpipsec.ini"), settings);
    EXPECT_EQ(testing::readBytes(L"C:\\ipsec.pbk"), "[corvinaltexum]\r\n");
    EXPECT_EQ(testing::readBytes(L"C:\\pptp.pbk"), "[corvinaltexum]\r\n");
    RemoveDirectoryW(L"C:\\VPN 客户端");
}

TEST_P(InstallerScenario, installAndUninstallAreRefusedWhileVelmoraRunsAndGoAheadOnceItEnds) {
    install();
    addStandIns();
    prepareDefaultGatewayDial();
    const auto window = startVelmora();
    ASSERT_TRUE(window.has_value());
    const std::wstring phonebook = installFolder() + L"\\defaultgate.pbk";
    ASSERT_TRUE(DeleteFileW(phonebook.c_str()));

    EXPECT_EQ(run(setup(), L"/S"), std::optional<DWORD>(kAbortedByScript));
    EXPECT_FALSE(testing::fileExists(phonebook)) << "a refused install must not write";
    const auto [installMessage, installCode] = runAndAnswer(setup());
    EXPECT_EQ(installMessage, "Velmora VPN 正在运行。请先在托盘图标的菜单中选择“退出”，再运行安装程序。");
    EXPECT_EQ(installCode, std::optional<DWORD>(kAbortedByScript));
    // In place (_?=), so that the uninstaller's own exit code tells.
    const std::wstring uninstaller = installFolder() + L"\\uninstall.exe";
    EXPECT_EQ(run(uninstaller, L"/S _?=" + installFolder()), std::optional<DWORD>(kAbortedByScript));
    EXPECT_TRUE(testing::fileExists(installFolder() + L"\\velmora.exe"));
    EXPECT_TRUE(uninstallEntryExists());

    for (HANDLE process : started) {
        closeVelmora(process);
    }
    EXPECT_EQ(run(setup(), L"/S"), std::optional<DWORD>(0));
    EXPECT_EQ(testing::readBytes(phonebook), testing::kDefaultGatePbk);
    for (const std::wstring& file : kStandIns) {
        DeleteFileW((installFolder() + L"\\" + file).c_str());
    }
    uninstall();
    EXPECT_TRUE(eventually([&] { return !testing::fileExists(installFolder()); }, kWaitMs))
        << "the emptied install folder goes too";
}

INSTANTIATE_TEST_SUITE_P(Windows, InstallerScenario, ::testing::Values("win2k", "win10"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
}  // namespace velmora
