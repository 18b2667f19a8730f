// What the end-to-end scenarios of velmora.exe share beyond the machine's state (velmora_app.h):
// the journal read back, and a fixture that starts the program and finds its window.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/velmora_app.h"
#include "tests/e2e/window_driver.h"

namespace velmora::testing {

inline constexpr int kTicks = 20000;  // long enough for a few 5-second timer ticks under Wine

// The registry switch as the program left it; nothing when it is absent or not a DWORD.
std::optional<DWORD> prohibitIpsec();

int countStartingWith(const std::vector<std::string>& lines, const std::string& start);
int countEndingWith(const std::vector<std::string>& lines, const std::string& end);
bool has(const std::vector<std::string>& lines, const std::string& line);

// Where the program keeps its log.
std::wstring programLogPath();

class AppSession : public ::testing::Test {
protected:
    // With the registry switch set and no settings or phonebook files left from before.
    explicit AppSession(const WindowsRelease& windows = kWindowsXp);
    // Each scenario starts from the bare namespace again.
    ~AppSession() override;
    // A scenario that failed shows the end of the journal and of the program's log, which say
    // what ran and what the program saw, while the program still runs.
    void TearDown() override;

    // Starts one more instance of the program (in its own folder, or the current folder given)
    // and finds its window; answers the start-up messages given.
    WindowDriver start(const std::vector<std::string>& startUpMessages = {}, const std::wstring& currentFolder = {});
    // Starts the program and waits until its window shows, ready for clicks.
    WindowDriver startShown(const std::vector<std::string>& startUpMessages = {});

    // Saves the profile, starts the program and connects from its window; returns once the
    // session is up and the window has gone to the tray.
    WindowDriver connectIpsec(const ConnProfile& profile = ipsecProfile(), const std::wstring& startFolder = {});

    // The dial of dialProfile(), as the program composes it.
    std::string pptpDial() const;

    std::vector<std::string> journal() const;
    // True once the journal holds the line, within kTicks.
    bool journalled(const std::string& line) const;
    // Takes the tunnel address 10.10.10.4 off the namespace again, so that the next dial brings
    // it up as new.
    void dropTunnelAddress() const;

    VelmoraApp app;
};

}  // namespace velmora::testing
