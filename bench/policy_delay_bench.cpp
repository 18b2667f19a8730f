// How soon after Connect's dial the IPsec policy for the tunnel's own address is in force:
// velmora.exe under Wine with the stand-ins, Wine reporting each Windows in turn, the success box
// answered 1.5 seconds after it shows. From the stand-ins' timed journal it prints each line from the
// dial to Connect's ping with its seconds from the dial's end (the stand-in rasdial connects as soon
// as it starts), and then the seconds to the last policy line among them.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "sim/sim_state.h"
#include "tests/e2e/velmora_app.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace {

using velmora::testing::VelmoraApp;
using velmora::testing::WindowDriver;
using velmora::testing::eventually;

constexpr int kPatienceMs = 20000;
constexpr DWORD kAnsweredAfterMs = 1500;
constexpr const char* kSucceeded = "拨号成功！";

struct Release {
    const char* name;
    const velmora::testing::WindowsRelease& windows;
    const char* policyLineStart;  // what the lines of its policy runs start with in the journal
};

bool startsWith(const std::string& line, const std::string& start) {
    return line.rfind(start, 0) == 0;
}

bool boxShown(const WindowDriver& window) {
    for (const velmora::testing::MessageBoxSeen& seen : window.messageBoxes()) {
        if (seen.text == kSucceeded) {
            return true;
        }
    }
    return false;
}

// Says where a Connect stopped short.
std::optional<double> stopped(const char* where) {
    std::printf("  stopped: %s\n", where);
    return std::nullopt;
}

// One Connect; the seconds from the dial's end to the last policy line, or nothing when the
// Connect did not go through.
std::optional<double> measure(const Release& release) {
    VelmoraApp app(release.windows);
    velmora::testing::setProhibitIpsec(true);
    // The tunnel's address of the last session, which Connect applies the policy for before it
    // dials; this dial brings 10.10.10.4, for which the policy is applied anew.
    velmora::ConnProfile profile = velmora::testing::ipsecProfile();
    profile.txtlocal = "10.10.10.9";
    if (!velmora::testing::saveSettings(profile) || !app.start()) {
        return stopped("velmora.exe did not start");
    }
    const std::optional<WindowDriver> window = WindowDriver::find(app.processId(), kPatienceMs);
    if (!window || !eventually([&] { return IsWindowVisible(window->window()) != FALSE; }, kPatienceMs) ||
        !window->clickLater(velmora::Control::Command1)) {
        return stopped("no window to click Connect in");
    }
    if (!eventually([&] { return boxShown(*window); }, kPatienceMs)) {
        return stopped("no success box");
    }
    Sleep(kAnsweredAfterMs);
    if (!window->answerMessageBox(kSucceeded, kPatienceMs)) {
        return stopped("the success box did not close");
    }
    const auto pinged = [] {
        for (const velmora::sim::TimedLine& timed : velmora::sim::readTimedJournal()) {
            if (startsWith(timed.line, "ping ")) {
                return true;
            }
        }
        return false;
    };
    if (!eventually(pinged, kPatienceMs)) {
        return stopped("no ping after the policy");
    }
    bool dialled = false;
    std::optional<double> last;
    const std::vector<velmora::sim::TimedLine> journal = velmora::sim::readTimedJournal();
    DWORD dialEnded = 0;
    for (const velmora::sim::TimedLine& timed : journal) {
        if (startsWith(timed.line, "rasdial ")) {
            dialEnded = timed.tick;
            break;
        }
    }
    for (const velmora::sim::TimedLine& timed : journal) {
        const double seconds = static_cast<int>(timed.tick - dialEnded) / 1000.0;
        dialled = dialled || startsWith(timed.line, "rasdial ");
        if (dialled) {
            std::printf("  %+6.2f s  %.90s\n", seconds, timed.line.c_str());
        }
        if (startsWith(timed.line, "ping ")) {
            break;
        }
        if (dialled && startsWith(timed.line, release.policyLineStart)) {
            last = seconds;
        }
    }
    return last;
}

}  // namespace

int main() {
    const Release releases[] = {
        {"Windows XP", velmora::testing::kWindowsXp, "ipseccmd "},
        {"Windows 10", velmora::testing::kWindows10, "netsh "},
    };
    int status = 0;
    for (const Release& release : releases) {
        std::printf("%s: success box answered after %.1f s\n", release.name, kAnsweredAfterMs / 1000.0);
        std::fflush(stdout);
        const std::optional<double> seconds = measure(release);
        if (seconds) {
            std::printf("%s: policy for the tunnel's address in force %.2f s after the dial's end\n", release.name,
                        *seconds);
        } else {
            std::printf("%s: Connect did not go through\n", release.name);
            status = 1;
        }
        std::fflush(stdout);
        // The next dial brings the tunnel address up as new.
        (void)velmora::testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.4/32 dev lo 2>/dev/null\"");
    }
    return status;
}
