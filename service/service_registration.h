// The service as the service manager knows it: its registration's values, kept here only, and
// what velmora-setup.exe has it do through its command line: register (or update) and start it,
// or stop and remove it.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

struct ServiceRegistration {
    std::wstring name = L"VelmoraVpn";
    // ASCII only: the package's tables take no other characters.
    std::wstring displayName = L"Velmora VPN";
    std::wstring description =
        L"Carries out for the Velmora VPN dialer what needs an administrator: the IPsec policy, the dial, "
        L"the routes and the L2TP registry switch. The dialer cannot connect while it is stopped.";
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD start = SERVICE_AUTO_START;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
    // The account as the service manager names it.
    std::wstring account = L"LocalSystem";
    // How long Windows waits at its end, from Vista on, while the service withdraws what its clients
    // applied and hangs up.
    DWORD preShutdownMs = 180000;
};

// The command line the service manager starts the exe with: its full path, quoted, so that no
// program named by the path's first words (C:\Program.exe) runs in its place.
std::wstring serviceCommandLine(const std::wstring& exePath);

// Registers the service to run exePath, or updates an existing registration to these values.
// 0 or the system's error.
DWORD registerService(const ServiceRegistration& registration, const std::wstring& exePath);

// Gives the registered service its time at Windows' end (Vista on; nothing before). 0 or the
// system's error.
DWORD setPreShutdownTime(SC_HANDLE service, DWORD milliseconds);

// Starts the service and waits (bounded) until it runs: 0, also when it ran already; else the
// system's error, or the service's own exit code when it stopped instead.
DWORD startRegisteredService(const std::wstring& name);

// Stops the service, waits (bounded) until it has stopped, and removes it: 0, also when it was not
// registered; else the system's error.
DWORD unregisterService(const std::wstring& name);

}  // namespace velmora
