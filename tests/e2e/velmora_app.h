// velmora.exe for one end-to-end scenario: a program folder of its own holding the exe, the
// policy tool beside it and the old policy tools' stand-ins, a simulated remote-access state of
// its own with an empty policy store
// (VELMORA_SIM_DIR, inherited by the program and read by this test program), the Windows Wine
// reports to it, and the instances started, ended when it goes; and the state of the machine it
// starts on.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "tests/win32/temp_folder.h"
#include "tests/win32/wine_windows.h"

namespace velmora::testing {

class VelmoraApp {
public:
    // A scenario that names no Windows runs as XP with Service Pack 3, the policy tool lines of
    // which it checks.
    explicit VelmoraApp(const WindowsRelease& windows = kWindowsXp);
    ~VelmoraApp();
    VelmoraApp(const VelmoraApp&) = delete;
    VelmoraApp& operator=(const VelmoraApp&) = delete;

    // Starts one more instance of velmora.exe, in its program folder or the folder given as the
    // current one, with the arguments given; instances count from 0.
    bool start(const std::wstring& currentFolder = {}, const std::wstring& arguments = {});
    // Starts one more instance with the argument and waits until it ends: its exit code, or
    // nothing when it did not end within the milliseconds given.
    std::optional<DWORD> runCommand(const std::wstring& argument, DWORD milliseconds);
    std::size_t instancesStarted() const { return instances_.size(); }
    DWORD processId(std::size_t instance = 0) const;
    HANDLE process(std::size_t instance = 0) const;
    // Waits up to the given milliseconds for the instance to end; true when it has ended.
    bool waitForExit(DWORD milliseconds, std::size_t instance = 0) const;
    bool running(std::size_t instance = 0) const;

    const std::wstring& programFolder() const { return program_.path(); }
    // A phonebook the program writes into its folder before each dial, and as a dial names it.
    std::wstring phonebook(const std::wstring& name) const { return program_.file(name); }
    std::string phonebookArgument(const std::wstring& name) const;

private:
    WineReportsWindows windows_;
    TempFolder program_;
    TempFolder sim_;
    std::vector<PROCESS_INFORMATION> instances_;
};

inline constexpr const wchar_t* kParametersKey = L"System\\CurrentControlSet\\Services\\RasMan\\Parameters";

// Sets the registry switch the program needs (present: as after the restart it asks for), or
// removes it.
void setProhibitIpsec(bool present);

// A profile that dials: the stand-in rasdial connects and the tunnel gets 10.10.10.4.
ConnProfile dialProfile();
// The same with IPsec over L2TP.
ConnProfile ipsecProfile();

// The program's settings file: in its folder of the user's local application data.
std::wstring settingsPath();

// Saves the profile as the program's settings file, as a Connect would have; false when the
// file could not be written.
bool saveSettings(const ConnProfile& profile);

// Brings the simulated link of the entry "corvinaltexum" up (with the handle 41 and the address
// 10.10.10.4, which the connection's IP projection gives) or down.
void setLink(bool up);

// The netsh steps velmora-ipsec runs for one of velmora.exe's policy tool lines.
std::vector<std::string> netshStepsFor(const std::string& policyLine);

}  // namespace velmora::testing
