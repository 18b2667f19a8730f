#include "service/service_main.h"

#include <atomic>
#include <string>

#include "core/log/connection_log.h"
#include "platform/win32/service_pipe.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_windows_version.h"
#include "service/service_host.h"
#include "service/service_parts.h"
#include "service/service_registration.h"

namespace velmora {

namespace {

// How long the manager is told to wait for the next sign of a stop's progress; one comes every
// second while the take-back goes on.
constexpr DWORD kStopWaitHintMs = 10000;
constexpr DWORD kStopReportMs = 1000;

// What the manager knows of the service; reported from the service's thread only.
class ServiceState {
public:
    explicit ServiceState(SERVICE_STATUS_HANDLE handle) : handle_(handle) {
        status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    }

    void report(DWORD state, DWORD accepted = 0, DWORD exitCode = NO_ERROR) {
        status_.dwCurrentState = state;
        status_.dwControlsAccepted = accepted;
        status_.dwWin32ExitCode = exitCode;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
        status_.dwWaitHint = pending ? kStopWaitHintMs : 0;
        (void)SetServiceStatus(handle_, &status_);
    }

private:
    SERVICE_STATUS_HANDLE handle_;
    SERVICE_STATUS status_ = {};
};

// What the manager's thread hands the service's: the stop, and whether Windows ends.
struct Controls {
    UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> shutDown{false};
};

DWORD WINAPI handleControl(DWORD control, DWORD, LPVOID, LPVOID context) {
    auto& controls = *static_cast<Controls*>(context);
    switch (control) {
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN:
        controls.shutDown = true;
        (void)SetEvent(controls.stop.get());
        return NO_ERROR;
    case SERVICE_CONTROL_STOP:
        (void)SetEvent(controls.stop.get());
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

class Stopping : public StopListener {
public:
    Stopping(ServiceState& state, ServiceLog& log, const Controls& controls)
        : state_(state), log_(log), controls_(controls) {}

    void stopBegins() override {
        log_.serviceStopping(controls_.shutDown);
        state_.report(SERVICE_STOP_PENDING);
        lastReport_ = GetTickCount();
    }
    void stillStopping() override {
        if (GetTickCount() - lastReport_ >= kStopReportMs) {
            state_.report(SERVICE_STOP_PENDING);
            lastReport_ = GetTickCount();
        }
    }

private:
    ServiceState& state_;
    ServiceLog& log_;
    const Controls& controls_;
    DWORD lastReport_ = 0;
};

// The time Windows gives the service at its end, set by the service itself so that a registration
// made by other means (the package's tables) has it too.
void takePreShutdownTime(const wchar_t* name) {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service = manager != nullptr ? OpenServiceW(manager, name, SERVICE_CHANGE_CONFIG) : nullptr;
    if (service != nullptr) {
        (void)setPreShutdownTime(service, ServiceRegistration().preShutdownMs);
        (void)CloseServiceHandle(service);
    }
    if (manager != nullptr) {
        (void)CloseServiceHandle(manager);
    }
}

void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
    const wchar_t* name = argc > 0 ? argv[0] : L"";
    Controls controls;
    const SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExW(name, handleControl, &controls);
    if (handle == nullptr) {
        return;
    }
    ServiceState state(handle);
    state.report(SERVICE_START_PENDING);
    const bool vista = Win32WindowsVersion().version().major >= 6;
    if (vista) {
        takePreShutdownTime(name);
    }
    DWORD failure = NO_ERROR;
    {
        ServiceParts parts;
        ServiceHost host(parts.core, parts.registry, parts.log);
        if (controls.stop.get() == nullptr || !host.listen()) {
            failure = GetLastError() != NO_ERROR ? GetLastError() : ERROR_GEN_FAILURE;
            parts.logFile.append(timestamp(parts.clock.localTime()) + " 服务无法启动：无法建立管道 " +
                                 narrow(kServicePipeName) + "（错误 " + std::to_string(failure) +
                                 "），它可能已被另一个程序占用");
        } else {
            parts.log.serviceStarted(VELMORA_SERVICE_VERSION, parts.operations.ipsecTool());
            state.report(SERVICE_RUNNING,
                         SERVICE_ACCEPT_STOP | (vista ? SERVICE_ACCEPT_PRESHUTDOWN : SERVICE_ACCEPT_SHUTDOWN));
            Stopping stopping(state, parts.log, controls);
            host.run(controls.stop.get(), stopping);
        }
    }
    state.report(SERVICE_STOPPED, 0, failure);
}

}  // namespace

DWORD runServiceDispatcher() {
    std::wstring name = ServiceRegistration().name;
    SERVICE_TABLE_ENTRYW table[] = {{name.data(), serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace velmora
