#include "tests/e2e/velmora_app.h"

#include <shlobj.h>

#include <optional>

#include "core/ipsec/netsh_policy.h"
#include "core/settings/settings_lines.h"
#include "core/text/command_line.h"
#include "platform/win32/command_line_arguments.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_text_files.h"
#include "sim/sim_state.h"
#include "tests/e2e/window_driver.h"

namespace velmora::testing {

VelmoraApp::VelmoraApp(const WindowsRelease& windows) : windows_(L"velmora.exe", windows) {
    // What an installation puts beside velmora.exe, and the old policy tools, which an
    // administrator puts there; Windows' own tools and the remote-access service are in the
    // system folders.
    const std::wstring from = widen(VELMORA_PROGRAMS_DIR);
    for (const wchar_t* name : {L"velmora.exe", L"velmora-ipsec.exe", L"ipseccmd.exe", L"ipsecpol.exe"}) {
        CopyFileW((from + L"\\" + name).c_str(), program_.file(name).c_str(), FALSE);
    }
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim_.path().c_str());
    // No policy assigned and none remembered from an earlier scenario in this prefix.
    sim::saveIpsecStore({});
    HKEY velmora = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmora", 0, KEY_SET_VALUE, &velmora) == ERROR_SUCCESS) {
        RegDeleteValueW(velmora, L"IpsecPolicyAssignedBefore");
        RegCloseKey(velmora);
    }
}

VelmoraApp::~VelmoraApp() {
    for (const PROCESS_INFORMATION& instance : instances_) {
        // Closed as a user would, so that its tray icon goes too; ended the hard way only when
        // it does not close (a message box still open, say).
        if (WaitForSingleObject(instance.hProcess, 0) == WAIT_TIMEOUT) {
            if (const auto window = WindowDriver::find(instance.dwProcessId, 0)) {
                PostMessageW(window->window(), WM_CLOSE, 0, 0);
            }
            if (WaitForSingleObject(instance.hProcess, 10000) == WAIT_TIMEOUT) {
                TerminateProcess(instance.hProcess, 1);
                WaitForSingleObject(instance.hProcess, 5000);
            }
        }
        CloseHandle(instance.hProcess);
    }
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", nullptr);
}

bool VelmoraApp::start(const std::wstring& currentFolder, const std::wstring& arguments) {
    std::wstring line = L"\"" + program_.file(L"velmora.exe") + L"\"";
    if (!arguments.empty()) {
        line += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const std::wstring& folder = currentFolder.empty() ? program_.path() : currentFolder;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    instances_.push_back(info);
    return true;
}

std::optional<DWORD> VelmoraApp::runCommand(const std::wstring& argument, DWORD milliseconds) {
    if (!start({}, argument) || !waitForExit(milliseconds, instances_.size() - 1)) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process(instances_.size() - 1), &code)) {
        return std::nullopt;
    }
    return code;
}

DWORD VelmoraApp::processId(std::size_t instance) const {
    return instance < instances_.size() ? instances_[instance].dwProcessId : 0;
}

HANDLE VelmoraApp::process(std::size_t instance) const {
    return instance < instances_.size() ? instances_[instance].hProcess : nullptr;
}

bool VelmoraApp::waitForExit(DWORD milliseconds, std::size_t instance) const {
    return instance < instances_.size() &&
           WaitForSingleObject(instances_[instance].hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool VelmoraApp::running(std::size_t instance) const {
    return instance < instances_.size() && WaitForSingleObject(instances_[instance].hProcess, 0) == WAIT_TIMEOUT;
}

void setProhibitIpsec(bool present) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    if (present) {
        const DWORD one = 1;
        RegSetValueExW(key, L"ProhibitIpsec", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    } else {
        RegDeleteValueW(key, L"ProhibitIpsec");
    }
    RegCloseKey(key);
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

ConnProfile ipsecProfile() {
    ConnProfile p = dialProfile();
    p.Check1 = kChecked;
    p.Option1 = kProtocolL2tp;
    return p;
}

std::wstring settingsPath() {
    wchar_t local[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, local) != S_OK) {
        return {};
    }
    const std::wstring folder = std::wstring(local) + L"\\Velmora";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\l2tpipsec.ini";
}

bool saveSettings(const ConnProfile& profile) {
    Win32AnsiCodec codec;
    Win32TextFiles files;
    return files.writeLines(narrow(settingsPath()), composeSettings(profile, codec).lines);
}

std::string VelmoraApp::phonebookArgument(const std::wstring& name) const {
    return quoteArgument(narrow(phonebook(name)));
}

void setLink(bool up) {
    sim::saveConnections(up ? std::vector<sim::SimConnection>{{41, "corvinaltexum", "10.10.10.4"}}
                            : std::vector<sim::SimConnection>{});
}

std::vector<std::string> netshStepsFor(const std::string& policyLine) {
    std::vector<std::string> lines;
    const std::optional<PolicyRequest> request = parsePolicyArguments(argumentsOf(policyLine));
    if (request) {
        for (const NetshStep& step : netshSteps(*request)) {
            lines.push_back(step.commandLine);
        }
    }
    return lines;
}

}  // namespace velmora::testing
