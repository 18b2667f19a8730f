// Start-up of velmora.exe against a floor program with the same manifest that only shows a
// window (bare, and with one control): each started in turn, from CreateProcess until its window
// is visible and the program idle, with its private bytes and the DLLs it holds at that moment
// (and its private bytes half a second later, once what waited for the first idle moment is done).
// velmora.exe makes a default start: settings present, hardware code off, link down; first with no
// service to answer it (its own rights, as Wine gives every program), then again with
// velmora-service.exe registered and running, whose pipe it connects to and greets at its start.
//   velmora_startup_bench [folder holding velmora.exe and velmora_startup_floor.exe]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/text_codec.h"
#include "tests/e2e/velmora_app.h"
#include "tests/win32/temp_folder.h"
#include "ui/win32/window_names.h"

namespace {

constexpr int kRuns = 5;
constexpr DWORD kPatienceMs = 20000;
constexpr DWORD kSettleMs = 1000;
constexpr DWORD kSettledAfterMs = 500;

struct Start {
    double milliseconds = 0;
    SIZE_T privateBytes = 0;
    SIZE_T settledBytes = 0;  // half a second later, once what waited for idle is done
    std::string dlls;  // the base names of the modules it holds, the exe left out
};

struct Program {
    const char* name;
    const wchar_t* exe;
    const wchar_t* arguments;
    const wchar_t* windowClass;  // of its main window, so that a message box is not taken for it
};

struct WindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found;
};

BOOL CALLBACK findMainWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == search->processId && IsWindowVisible(window) && lstrcmpW(name, search->windowClass) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND visibleMainWindow(DWORD processId, const wchar_t* windowClass) {
    WindowSearch search{processId, windowClass, nullptr};
    EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string dllsOf(HANDLE process) {
    std::vector<HMODULE> modules(256);
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
        return "(not listed)";
    }
    modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
    std::vector<std::string> names;
    for (std::size_t i = 1; i < modules.size(); ++i) {
        wchar_t name[MAX_PATH] = {};
        if (GetModuleBaseNameW(process, modules[i], name, MAX_PATH) != 0) {
            names.push_back(velmora::narrow(CharLowerW(name)));
        }
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

// Private bytes are the page-file usage: Windows gives both the same, Wine only the latter.
SIZE_T privateBytesOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    return GetProcessMemoryInfo(process, &memory, sizeof memory) ? memory.PagefileUsage : 0;
}

double elapsedMs(const LARGE_INTEGER& from) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts the program in its folder as its shortcut would, measures, and closes its window.
std::optional<Start> startOnce(const std::wstring& folder, const Program& program) {
    std::wstring line = L"\"" + folder + L"\\" + program.exe + L"\" " + program.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    CloseHandle(info.hThread);
    std::optional<Start> start;
    HWND window = nullptr;
    if (WaitForInputIdle(info.hProcess, kPatienceMs) == 0) {
        const DWORD since = GetTickCount();
        while (window == nullptr && GetTickCount() - since < kPatienceMs &&
               WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            window = visibleMainWindow(info.dwProcessId, program.windowClass);
            if (window == nullptr) {
                Sleep(1);
            }
        }
    }
    if (window != nullptr) {
        start = Start{elapsedMs(started), privateBytesOf(info.hProcess), 0, dllsOf(info.hProcess)};
        Sleep(kSettledAfterMs);
        start->settledBytes = privateBytesOf(info.hProcess);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(info.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
        std::printf("%s did not end; ended by force\n", program.name);
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, kPatienceMs);
        start.reset();
    }
    CloseHandle(info.hProcess);
    // What the system still does for the program that ended (its windows, its tray icon) is
    // not charged to the next one.
    Sleep(kSettleMs);
    return start;
}

template <typename T>
std::pair<T, T> leastAndMedian(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2]};
}

struct Figures {
    std::pair<double, double> milliseconds;
    std::pair<SIZE_T, SIZE_T> privateBytes;
};

Figures summarise(const char* name, const std::vector<Start>& starts) {
    std::vector<double> times;
    std::vector<SIZE_T> bytes;
    std::vector<SIZE_T> settled;
    std::printf("%-24s", name);
    for (const Start& start : starts) {
        times.push_back(start.milliseconds);
        bytes.push_back(start.privateBytes);
        settled.push_back(start.settledBytes);
        std::printf(" %7.1f ms %6lu KB", start.milliseconds, static_cast<unsigned long>(start.privateBytes / 1024));
    }
    const Figures figures{leastAndMedian(times), leastAndMedian(bytes)};
    std::printf("\n%-24s least %.1f ms, median %.1f ms; private bytes least %lu KB, median %lu KB\n", "",
                figures.milliseconds.first, figures.milliseconds.second,
                static_cast<unsigned long>(figures.privateBytes.first / 1024),
                static_cast<unsigned long>(figures.privateBytes.second / 1024));
    const auto settledFigures = leastAndMedian(settled);
    std::printf("%-24s private bytes %lu ms later: least %lu KB, median %lu KB\n", "",
                static_cast<unsigned long>(kSettledAfterMs), static_cast<unsigned long>(settledFigures.first / 1024),
                static_cast<unsigned long>(settledFigures.second / 1024));
    std::printf("%-24s DLLs: %s\n", "", starts.front().dlls.c_str());
    return figures;
}

// Runs velmora-service.exe from the folder with the option (/register, /unregister) to its end.
bool runService(const std::wstring& folder, const wchar_t* option) {
    std::wstring line = L"\"" + folder + L"\\velmora-service.exe\" " + option;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
        return false;
    }
    CloseHandle(info.hThread);
    DWORD status = 1;
    const bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(info.hProcess, &status);
    CloseHandle(info.hProcess);
    return ended && status == 0;
}

void printRatios(const char* name, const char* floorName, const Figures& velmora, const Figures& floor) {
    std::printf("%s / %s: time %.2f by the least, %.2f by the median; private bytes %.2f by the least, "
                "%.2f by the median\n",
                name, floorName, velmora.milliseconds.first / floor.milliseconds.first,
                velmora.milliseconds.second / floor.milliseconds.second,
                static_cast<double>(velmora.privateBytes.first) / static_cast<double>(floor.privateBytes.first),
                static_cast<double>(velmora.privateBytes.second) / static_cast<double>(floor.privateBytes.second));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = argc > 1 ? argv[1] : velmora::widen(VELMORA_PROGRAMS_DIR);
    // The floor bare, and with one control, which loads the Common Controls the manifest names
    // as velmora.exe's first control does: a bare window never loads them.
    const Program programs[] = {
        {"velmora.exe", L"velmora.exe", L"", velmora::kMainWindowClass},
        {"floor", L"velmora_startup_floor.exe", L"", L"VelmoraStartupFloor"},
        {"floor with a control", L"velmora_startup_floor.exe", L"/control", L"VelmoraStartupFloor"},
    };
    constexpr std::size_t kPrograms = sizeof programs / sizeof programs[0];

    // A default start: the registry switch set, settings saved, no link in the simulated state.
    velmora::testing::setProhibitIpsec(true);
    if (!velmora::testing::saveSettings(velmora::testing::dialProfile())) {
        std::puts("cannot write the settings file");
        return 1;
    }
    const velmora::testing::TempFolder sim;
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());

    // The first start of a session also pays for Wine's desktop and fonts: once each, not counted.
    std::vector<Start> starts[kPrograms];
    for (int run = -1; run < kRuns; ++run) {
        for (std::size_t program = 0; program < kPrograms; ++program) {
            const std::optional<Start> start = startOnce(folder, programs[program]);
            if (!start) {
                std::printf("%s did not show its main window\n", programs[program].name);
                return 1;
            }
            if (run >= 0) {
                starts[program].push_back(*start);
            }
        }
    }
    std::printf("Start-up until the window is visible and idle, %d starts each:\n", kRuns);
    Figures figures[kPrograms];
    for (std::size_t program = 0; program < kPrograms; ++program) {
        figures[program] = summarise(programs[program].name, starts[program]);
    }
    for (std::size_t floor = 1; floor < kPrograms; ++floor) {
        printRatios("velmora.exe", programs[floor].name, figures[0], figures[floor]);
    }

    if (!runService(folder, L"/register")) {
        std::puts("velmora-service.exe /register failed");
        return 1;
    }
    std::vector<Start> served;
    for (int run = -1; run < kRuns; ++run) {
        const std::optional<Start> start = startOnce(folder, programs[0]);
        if (!start) {
            std::puts("velmora.exe did not show its main window with the service running");
            (void)runService(folder, L"/unregister");
            return 1;
        }
        if (run >= 0) {
            served.push_back(*start);
        }
    }
    (void)runService(folder, L"/unregister");
    const Figures service = summarise("velmora.exe, service", served);
    for (std::size_t floor = 1; floor < kPrograms; ++floor) {
        printRatios("velmora.exe with the service", programs[floor].name, service, figures[floor]);
    }
    return 0;
}
