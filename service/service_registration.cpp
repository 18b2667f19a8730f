#include "service/service_registration.h"

#include "platform/win32/win32_windows_version.h"

namespace velmora {

namespace {

// How long a start may take until the service runs, and a stop until it has stopped: a stop takes
// back what the service's clients made, which waits for the policy tool's runs.
constexpr DWORD kStartWaitMs = 30000;
constexpr DWORD kStopWaitMs = 60000;
constexpr DWORD kStatusLookMs = 250;

// The record ChangeServiceConfig2W takes for SERVICE_CONFIG_PRESHUTDOWN_INFO (Vista on).
struct PreShutdownInfo {
    DWORD preshutdownTimeout;
};

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            (void)CloseServiceHandle(handle_);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;

    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

// The error of the last call, never 0 where a call failed without one.
DWORD lastError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// Looks at the service's state until it is the wanted one, it has stopped, or the milliseconds
// have passed, leaving the last status seen; false when it could not be asked.
bool waitForState(SC_HANDLE service, DWORD wanted, DWORD milliseconds, SERVICE_STATUS& status) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!QueryServiceStatus(service, &status)) {
            return false;
        }
        if (status.dwCurrentState == wanted || status.dwCurrentState == SERVICE_STOPPED ||
            GetTickCount() - start >= milliseconds) {
            return true;
        }
        Sleep(kStatusLookMs);
    }
}

}  // namespace

std::wstring serviceCommandLine(const std::wstring& exePath) {
    return L"\"" + exePath + L"\"";
}

DWORD setPreShutdownTime(SC_HANDLE service, DWORD milliseconds) {
    if (Win32WindowsVersion().version().major < 6) {
        return ERROR_SUCCESS;
    }
    PreShutdownInfo info{milliseconds};
    return ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &info) ? ERROR_SUCCESS : lastError();
}

DWORD registerService(const ServiceRegistration& registration, const std::wstring& exePath) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (manager.get() == nullptr) {
        return lastError();
    }
    const std::wstring line = serviceCommandLine(exePath);
    const DWORD access = SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG;
    ServiceHandle created(CreateServiceW(manager.get(), registration.name.c_str(), registration.displayName.c_str(),
                                         access, registration.type, registration.start, registration.errorControl,
                                         line.c_str(), nullptr, nullptr, nullptr, registration.account.c_str(),
                                         nullptr));
    const DWORD createError = created.get() == nullptr ? GetLastError() : ERROR_SUCCESS;
    if (created.get() == nullptr && createError != ERROR_SERVICE_EXISTS) {
        return createError != ERROR_SUCCESS ? createError : ERROR_GEN_FAILURE;
    }
    const ServiceHandle opened(created.get() == nullptr
                                   ? OpenServiceW(manager.get(), registration.name.c_str(), access)
                                   : nullptr);
    const SC_HANDLE service = created.get() != nullptr ? created.get() : opened.get();
    if (service == nullptr) {
        return lastError();
    }
    // An earlier registration takes these values, whatever it held.
    if (opened.get() != nullptr &&
        !ChangeServiceConfigW(service, registration.type, registration.start, registration.errorControl, line.c_str(),
                              nullptr, nullptr, nullptr, registration.account.c_str(), L"",
                              registration.displayName.c_str())) {
        return lastError();
    }
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(registration.description.c_str())};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description)) {
        return lastError();
    }
    return setPreShutdownTime(service, registration.preShutdownMs);
}

DWORD startRegisteredService(const std::wstring& name) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(manager.get() != nullptr
                                    ? OpenServiceW(manager.get(), name.c_str(), SERVICE_START | SERVICE_QUERY_STATUS)
                                    : nullptr);
    if (service.get() == nullptr) {
        return lastError();
    }
    if (!StartServiceW(service.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        return lastError();
    }
    SERVICE_STATUS status{};
    if (!waitForState(service.get(), SERVICE_RUNNING, kStartWaitMs, status)) {
        return lastError();
    }
    if (status.dwCurrentState == SERVICE_RUNNING) {
        return ERROR_SUCCESS;
    }
    if (status.dwCurrentState != SERVICE_STOPPED) {
        return ERROR_SERVICE_REQUEST_TIMEOUT;
    }
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) {
        return status.dwServiceSpecificExitCode;
    }
    return status.dwWin32ExitCode != ERROR_SUCCESS ? status.dwWin32ExitCode : ERROR_SERVICE_NOT_ACTIVE;
}

DWORD unregisterService(const std::wstring& name) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.get() == nullptr) {
        return lastError();
    }
    const ServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (service.get() == nullptr) {
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? ERROR_SUCCESS : lastError();
    }
    SERVICE_STATUS status{};
    (void)ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    const bool stopped = waitForState(service.get(), SERVICE_STOPPED, kStopWaitMs, status) &&
                         status.dwCurrentState == SERVICE_STOPPED;
    // Removed either way: a service that is still stopping goes once it has stopped.
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        return lastError();
    }
    return stopped ? ERROR_SUCCESS : ERROR_SERVICE_REQUEST_TIMEOUT;
}

}  // namespace velmora
