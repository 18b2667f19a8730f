// velmora-msi.dll's action that gives the service its time at Windows' end, run against Wine's
// service manager as Windows Installer runs it: after the package's ServiceInstall, as the system.
#include <windows.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <optional>

#include "platform/win32/text_codec.h"
#include "service/service_registration.h"

namespace velmora {
namespace {

using Action = UINT(WINAPI*)(MSIHANDLE);

// SERVICE_PRESHUTDOWN_INFO, which the headers show only to programs for Vista on.
struct PreShutdownInfo {
    DWORD timeoutMs;
};

std::optional<DWORD> preShutdownMs(SC_HANDLE service) {
    PreShutdownInfo info{};
    DWORD size = 0;
    if (!QueryServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, reinterpret_cast<BYTE*>(&info), sizeof info,
                              &size)) {
        return std::nullopt;
    }
    return info.timeoutMs;
}

TEST(MsiServiceAction, givesTheInstalledServiceItsTimeAtWindowsEndAndFailsWithoutIt) {
    const HMODULE actions = LoadLibraryW((widen(VELMORA_PROGRAMS_DIR) + L"\\velmora-msi.dll").c_str());
    ASSERT_NE(actions, nullptr);
    const auto setPreShutdown =
        reinterpret_cast<Action>(reinterpret_cast<void*>(GetProcAddress(actions, "SetServicePreShutdown")));
    ASSERT_NE(setPreShutdown, nullptr);

    const ServiceRegistration registration;
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
    ASSERT_NE(manager, nullptr);
    // As ServiceInstall leaves it, with a time that is not the service's own.
    const SC_HANDLE service = CreateServiceW(
        manager, registration.name.c_str(), registration.displayName.c_str(), SERVICE_ALL_ACCESS, registration.type,
        SERVICE_DEMAND_START, registration.errorControl, widen(VELMORA_SERVICE_EXE).c_str(), nullptr, nullptr, nullptr,
        nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    PreShutdownInfo other{5000};
    ASSERT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &other));
    ASSERT_EQ(preShutdownMs(service), std::optional<DWORD>(5000));

    EXPECT_EQ(setPreShutdown(0), static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(preShutdownMs(service), std::optional<DWORD>(registration.preShutdownMs));

    ASSERT_TRUE(DeleteService(service));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    EXPECT_EQ(setPreShutdown(0), static_cast<UINT>(ERROR_INSTALL_FAILURE)) << "no service to give it to";
    FreeLibrary(actions);
}

}  // namespace
}  // namespace velmora
