// A long run of velmora.exe with an IPsec session whose link drops and comes back every
// minute (half a minute down, half up), in the simulated environment under Wine. Prints what
// the program holds at the start, every five minutes and at the end: kernel handles, GDI and
// USER objects, windows, private bytes, and how many tools it has started. None of them may
// grow with time. VELMORA_SOAK_MINUTES sets the length (30 by default).
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/profile/conn_profile.h"
#include "sim/sim_state.h"
#include "tests/e2e/velmora_app.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace {

using velmora::testing::VelmoraApp;
using velmora::testing::WindowDriver;
using velmora::testing::eventually;

struct WindowCount {
    DWORD processId;
    int windows;
};

BOOL CALLBACK countChild(HWND, LPARAM context) {
    ++reinterpret_cast<WindowCount*>(context)->windows;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM context) {
    auto* count = reinterpret_cast<WindowCount*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->processId) {
        ++count->windows;
        EnumChildWindows(window, countChild, context);
    }
    return TRUE;
}

int toolsStarted() {
    int count = 0;
    for (const std::string& line : velmora::sim::readJournal()) {
        count += line.rfind("Ras", 0) == 0 ? 0 : 1;  // the service calls are not tools
    }
    return count;
}

void printSample(const char* when, const VelmoraApp& app) {
    HANDLE process = app.process();
    // Private bytes are the page-file usage: Windows gives both the same, Wine only the latter.
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    (void)GetProcessMemoryInfo(process, &memory, sizeof memory);
    WindowCount windows{app.processId(), 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&windows));
    // GDI and USER objects come from GetGuiResources, which Wine answers with 0; the windows
    // (every top-level and child window of the program) stand for the USER objects there.
    std::printf("%-10s handles %lu, GDI objects %lu, USER objects %lu, windows %d, private bytes %lu KB, "
                "tools started %d\n",
                when, static_cast<unsigned long>(velmora::testing::handleCount(app.processId()).value_or(0)),
                static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
                static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)), windows.windows,
                static_cast<unsigned long>(memory.PagefileUsage / 1024), toolsStarted());
    std::fflush(stdout);
}

// One minute: the link down for half of it, then up again for the other half.
void dropAndReturn() {
    velmora::testing::setLink(false);
    Sleep(30000);
    velmora::testing::setLink(true);
    Sleep(30000);
}

}  // namespace

int main() {
    const char* length = std::getenv("VELMORA_SOAK_MINUTES");
    const int minutes = length != nullptr ? std::atoi(length) : 30;

    velmora::testing::setProhibitIpsec(true);
    velmora::ConnProfile profile = velmora::testing::dialProfile();
    profile.Check1 = velmora::kChecked;
    profile.Option1 = velmora::kProtocolL2tp;
    if (!velmora::testing::saveSettings(profile)) {
        std::puts("cannot write the settings file");
        return 1;
    }
    VelmoraApp app;
    auto window = app.start() ? WindowDriver::find(app.processId(), 20000) : std::nullopt;
    if (!window || !eventually([&] { return IsWindowVisible(window->window()) != FALSE; }, 20000) ||
        !window->clickLater(velmora::Control::Command1) || !window->answerMessageBox("拨号成功！", 20000)) {
        std::puts("velmora.exe did not connect");
        return 1;
    }
    dropAndReturn();  // settled: the first re-apply is done
    printSample("start", app);
    for (int minute = 1; minute <= minutes; ++minute) {
        dropAndReturn();
        if (minute % 5 == 0 && minute != minutes) {
            printSample((std::to_string(minute) + " min").c_str(), app);
        }
    }
    printSample("end", app);
    PostMessageW(window->window(), WM_CLOSE, 0, 0);
    return app.waitForExit(20000) ? 0 : 1;
}
