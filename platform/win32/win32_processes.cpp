#include "platform/win32/win32_processes.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

namespace {

class Win32RunningProgram : public RunningProgram {
public:
    explicit Win32RunningProgram(HANDLE process) : process_(process) {}

    std::uintptr_t waitHandle() const override { return reinterpret_cast<std::uintptr_t>(process_.get()); }

    std::optional<std::uint32_t> exitStatus() override {
        DWORD status = 0;
        if (WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0 || !GetExitCodeProcess(process_.get(), &status)) {
            return std::nullopt;
        }
        return status;
    }

    void terminate() override { (void)TerminateProcess(process_.get(), ERROR_CANCELLED); }

private:
    UniqueHandle process_;
};

}  // namespace

namespace {

// The system folder, where every program the dialer starts runs; empty when it cannot be named.
std::wstring systemFolder() {
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length != 0 && length < MAX_PATH ? std::wstring(system, length) : std::wstring();
}

}  // namespace

std::unique_ptr<RunningProgram> Win32Processes::start(const std::string& program, const std::string& commandLine,
                                                      Window window) {
    const std::wstring application = widen(program);
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = NORMAL_PRIORITY_CLASS;
    if (window == Window::hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        flags |= CREATE_NO_WINDOW;
    }
    // The system folder as the program's current folder, not whatever folder the user started
    // the dialer from: what the program loads late by name must not be found there.
    const std::wstring folder = systemFolder();
    PROCESS_INFORMATION info{};
    // The application name is given whole, so Windows runs that file and searches nowhere.
    if (application.empty() || !CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, flags,
                                               nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        return nullptr;
    }
    (void)CloseHandle(info.hThread);
    return std::make_unique<Win32RunningProgram>(info.hProcess);
}

std::optional<std::uint32_t> runHiddenToEnd(const std::string& program, const std::string& commandLine) {
    const auto running = Win32Processes().start(program, commandLine, Processes::Window::hidden);
    if (!running || WaitForSingleObject(reinterpret_cast<HANDLE>(running->waitHandle()), INFINITE) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    return running->exitStatus();
}

}  // namespace velmora
