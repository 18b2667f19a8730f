// velmora-service.exe registered with Wine's own service manager under a name of the tests: the
// registration as the manager reports it, an earlier registration brought back to it, the built
// exe running as a service that the window's client reaches, and its removal.
#include "service/service_registration.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/service/service_client.h"
#include "platform/win32/service_pipe.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_remote_access.h"
#include "platform/win32/win32_service_channel.h"
#include "platform/win32/win32_windows_version.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return handle_; }

private:
    SC_HANDLE handle_;
};

// The registration of the tests' own name, with everything else as velmora-setup.exe registers it.
ServiceRegistration testRegistration() {
    ServiceRegistration registration;
    registration.name = L"VelmoraVpnTest";
    return registration;
}

const std::wstring kExe = widen(VELMORA_SERVICE_EXE);

// What the manager reports of a registered service.
struct Reported {
    DWORD type = 0;
    DWORD start = 0;
    DWORD errorControl = 0;
    std::wstring path;
    std::wstring account;
    std::wstring displayName;
    std::wstring description;
    std::optional<DWORD> preShutdownMs;
};

std::optional<Reported> reported(const std::wstring& name) {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    if (service.get() == nullptr) {
        return std::nullopt;
    }
    DWORD size = 0;
    (void)QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (size == 0 || !QueryServiceConfigW(service.get(), config, size, &size)) {
        return std::nullopt;
    }
    Reported found{config->dwServiceType, config->dwStartType, config->dwErrorControl, config->lpBinaryPathName,
                   config->lpServiceStartName, config->lpDisplayName, L"", std::nullopt};
    std::vector<unsigned char> more(8192);
    if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, more.data(), 8192, &size)) {
        const auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(more.data());
        found.description = description->lpDescription != nullptr ? description->lpDescription : L"";
    }
    if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, more.data(), 8192, &size)) {
        found.preShutdownMs = *reinterpret_cast<DWORD*>(more.data());
    }
    return found;
}

// How many lines of the exe's own log say the text.
std::size_t loggedTimes(const std::wstring& text) {
    const std::string bytes = testing::readBytes(kExe.substr(0, kExe.find_last_of(L"\\/")) + L"\\logs\\velmora-service.log");
    const std::wstring log(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    std::size_t times = 0;
    for (std::size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + 1)) {
        ++times;
    }
    return times;
}

class ServiceRegistrationTest : public ::testing::Test {
protected:
    ~ServiceRegistrationTest() override { (void)unregisterService(registration.name); }

    ServiceRegistration registration = testRegistration();
};

TEST_F(ServiceRegistrationTest, theManagerReportsWhatWasRegisteredAndAnEarlierRegistrationIsBroughtBackToIt) {
    ASSERT_EQ(registerService(registration, kExe), 0u);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "registered anew" : "an earlier registration updated");
        const auto found = reported(registration.name);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(found->start, static_cast<DWORD>(SERVICE_AUTO_START));
        EXPECT_EQ(found->errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
        EXPECT_EQ(found->path, L"\"" + kExe + L"\"");
        EXPECT_EQ(found->account, L"LocalSystem");
        EXPECT_EQ(found->displayName, L"Velmora VPN");
        EXPECT_EQ(found->description, registration.description);
        if (Win32WindowsVersion().version().major >= 6) {
            EXPECT_EQ(found->preShutdownMs, std::optional<DWORD>(180000));
        }
        // An earlier version's registration, started by hand from another place.
        const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        const ServiceHandle service(OpenServiceW(manager.get(), registration.name.c_str(), SERVICE_CHANGE_CONFIG));
        ASSERT_TRUE(ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                         L"C:\\Old Velmora\\velmora-service.exe", nullptr, nullptr, nullptr, nullptr,
                                         nullptr, L"Old name"));
        ASSERT_EQ(registerService(registration, kExe), 0u);
    }
}

TEST_F(ServiceRegistrationTest, theRegisteredExeRunsAsAServiceThatTheWindowReachesAndStopsWhenRemoved) {
    const std::size_t startsBefore = loggedTimes(L"服务启动");
    const std::size_t stopsBefore = loggedTimes(L"服务停止");
    ASSERT_EQ(registerService(registration, kExe), 0u);
    ASSERT_EQ(startRegisteredService(registration.name), 0u);
    EXPECT_EQ(startRegisteredService(registration.name), 0u) << "a service that runs already";

    Win32ServiceConnector connector;
    Win32RemoteAccess local;
    ServiceClient client(connector, local);
    const auto decision = client.hello();
    ASSERT_TRUE(decision.has_value());
    EXPECT_TRUE(decision->served);

    EXPECT_EQ(unregisterService(registration.name), 0u);
    EXPECT_FALSE(reported(registration.name).has_value());
    EXPECT_FALSE(client.hello().has_value()) << "the service is gone with its registration";
    EXPECT_EQ(unregisterService(registration.name), 0u) << "nothing to remove";
    EXPECT_EQ(loggedTimes(L"服务启动"), startsBefore + 1);
    EXPECT_EQ(loggedTimes(L"服务停止"), stopsBefore + 1);
}

TEST_F(ServiceRegistrationTest, aServiceWhosePipeNameAnotherProgramTookStopsAtOnceAndSaysWhy) {
    const HANDLE squatter =
        CreateNamedPipeW(kServicePipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
    ASSERT_NE(squatter, INVALID_HANDLE_VALUE);
    const std::size_t refusalsBefore = loggedTimes(L"服务无法启动");
    ASSERT_EQ(registerService(registration, kExe), 0u);
    EXPECT_EQ(startRegisteredService(registration.name), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(loggedTimes(L"服务无法启动"), refusalsBefore + 1);
    CloseHandle(squatter);
}

}  // namespace
}  // namespace velmora
