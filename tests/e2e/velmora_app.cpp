#include "tests/e2e/velmora_app.h"

#include "platform/win32/text_codec.h"
#include "tests/e2e/window_driver.h"

namespace velmora::testing {

VelmoraApp::VelmoraApp(const WindowsRelease& windows) : windows_(L"velmora.exe", windows) {
    // Everything the programs build puts beside velmora.exe: the stand-ins, not the benchmarks.
    const std::wstring from = widen(VELMORA_PROGRAMS_DIR);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name.find(L"bench") == std::wstring::npos && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                CopyFileW((from + L"\\" + name).c_str(), program_.file(name).c_str(), FALSE);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim_.path().c_str());
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

bool VelmoraApp::start() {
    std::wstring line = L"\"" + program_.file(L"velmora.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, program_.path().c_str(), &startup,
                        &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    instances_.push_back(info);
    return true;
}

DWORD VelmoraApp::processId(std::size_t instance) const {
    return instance < instances_.size() ? instances_[instance].dwProcessId : 0;
}

bool VelmoraApp::waitForExit(DWORD milliseconds, std::size_t instance) const {
    return instance < instances_.size() &&
           WaitForSingleObject(instances_[instance].hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool VelmoraApp::running(std::size_t instance) const {
    return instance < instances_.size() && WaitForSingleObject(instances_[instance].hProcess, 0) == WAIT_TIMEOUT;
}

}  // namespace velmora::testing
