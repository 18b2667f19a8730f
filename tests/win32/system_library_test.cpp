// The libraries loaded late: found in the system folder and nowhere else, the current folder
// left out of the DLL search, and a library or function that cannot be had failing the service
// over it as the service's own failure would, not the program.
#include "platform/win32/system_library.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_ip_helper.h"
#include "platform/win32/win32_management_service.h"
#include "platform/win32/win32_remote_access.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

constexpr const wchar_t* kMissingLibrary = L"velmora-no-such-library.dll";

TEST(SystemLibrary, resolvesTheSystemFoldersOwnFunctionsOnly) {
    // This test program imports the IP helper itself, so the system's copy is loaded already.
    const auto system = reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"iphlpapi.dll"), "GetIpAddrTable"));
    ASSERT_NE(system, nullptr);
    struct Row {
        const wchar_t* library;
        const char* function;
        void (*expected)();
    };
    for (const Row& row : {Row{L"iphlpapi.dll", "GetIpAddrTable", system}, Row{L"iphlpapi.dll", "VelmoraNoSuchFunction", nullptr},
                           Row{kMissingLibrary, "GetIpAddrTable", nullptr}}) {
        SystemLibrary library(row.library);
        EXPECT_EQ(library.function<void()>(row.function), row.expected) << row.function;
        EXPECT_EQ(library.function<void()>(row.function), row.expected) << row.function << ", asked again";
    }
}

// A DLL planted where a bare name finds it: in the current folder, where a program started from
// a downloads folder or a share would find one, or in the folder set for the DLL search.
class PlantedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyFileW((testing::programFolder() + L"\\rasapi32.dll").c_str(), folder_.file(kPlanted).c_str(), FALSE));
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        previous_ = current;
    }
    void TearDown() override {
        // The search as it was, for the other tests of this program.
        setDllDirectory(nullptr);
        SetCurrentDirectoryW(previous_.c_str());
    }

    const std::wstring& folder() const { return folder_.path(); }
    std::wstring plantPath() const { return folder_.file(kPlanted); }

    // Windows XP with Service Pack 1 and later have it; this program's headers name only
    // what Windows 2000 has.
    static void setDllDirectory(const wchar_t* path) {
        using SetDllDirectoryFunction = BOOL WINAPI(LPCWSTR);
        auto* set = reinterpret_cast<SetDllDirectoryFunction*>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDllDirectoryW")));
        ASSERT_NE(set, nullptr);
        ASSERT_TRUE(set(path));
    }

    static bool loadsByBareName(const wchar_t* name = kPlanted) {
        HMODULE module = LoadLibraryW(name);
        if (module != nullptr) {
            FreeLibrary(module);
        }
        return module != nullptr;
    }

    static constexpr const wchar_t* kPlanted = L"velmora_planted.dll";

private:
    testing::TempFolder folder_;
    std::wstring previous_;
};

TEST_F(PlantedLibrary, isNeverLoadedFromTheCurrentFolder) {
    ASSERT_TRUE(SetCurrentDirectoryW(folder().c_str()));
    ASSERT_TRUE(loadsByBareName()) << "the plant lies where a bare name finds it";
    SystemLibrary library(kPlanted);
    EXPECT_EQ(library.function<void()>("RasHangUpA"), nullptr);
}

// A plant in the current folder, in a folder set for the search before, and beside the program
// itself: none is found once the search is narrowed. Wine's loader reads an empty folder as none
// and keeps searching the current one, so there it is the search narrowed to the system folder
// that leaves the plants out. The narrowing holds for the rest of this test program.
TEST_F(PlantedLibrary, isNotFoundAnywhereButTheSystemFolderOnceTheSearchIsNarrowed) {
    const std::wstring besideProgram = testing::programFolder() + L"\\velmora_planted_beside.dll";
    ASSERT_TRUE(CopyFileW(plantPath().c_str(), besideProgram.c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryW(folder().c_str()));
    setDllDirectory(folder().c_str());
    const bool plantsFound = loadsByBareName() && loadsByBareName(L"velmora_planted_beside.dll");
    restrictDllSearchToSystemFolder();
    const bool plantFoundAfter = loadsByBareName();
    const bool besideFoundAfter = loadsByBareName(L"velmora_planted_beside.dll");
    DeleteFileW(besideProgram.c_str());
    ASSERT_TRUE(plantsFound) << "the plants lie where a bare name finds them";
    EXPECT_FALSE(plantFoundAfter);
    EXPECT_FALSE(besideFoundAfter);
}

TEST(LibrariesLoadedLate, aMissingLibraryOrFunctionFailsOnlyTheServiceOverIt) {
    // kernel32 is a library that lacks every function these services ask for.
    for (const wchar_t* library : {kMissingLibrary, L"kernel32.dll"}) {
        Win32IpHelper ipHelper(library);
        EXPECT_TRUE(ipHelper.adapterAddresses().empty());
        EXPECT_EQ(ipHelper.addressTable().status, AddressTableStatus::readFailed);
        EXPECT_TRUE(Win32ManagementService(library).processorIds().empty());
        EXPECT_TRUE(Win32ManagementService(L"ole32.dll", library).processorIds().empty());
        Win32RemoteAccess remoteAccess(library);
        EXPECT_NE(remoteAccess.activeConnections().status, 0u);
        EXPECT_TRUE(remoteAccess.phonebookEntries().empty());
        remoteAccess.hangUp(1);
    }
}

}  // namespace
}  // namespace velmora
