// Start-up of velmora.exe against a floor program with the same manifest that only shows a
// window: each started in turn, from CreateProcess until its window is visible and the program
// idle, with its private bytes and the DLLs it holds at that moment. velmora.exe makes a default
// start: settings present, hardware code off, link down.
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

namespace {

constexpr int kRuns = 5;
constexpr DWORD kPatienceMs = 20000;

struct Start {
    double milliseconds = 0;
    SIZE_T privateBytes = 0;
    std::string dlls;  // the base names of the modules it holds, the exe left out
};

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findVisibleWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND visibleWindowOf(DWORD processId) {
    WindowSearch search{processId, nullptr};
    EnumWindows(findVisibleWindow, reinterpret_cast<LPARAM>(&search));
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

double elapsedMs(const LARGE_INTEGER& from) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts the program in its folder as its shortcut would, measures, and closes its window.
std::optional<Start> startOnce(const std::wstring& folder, const std::wstring& exe) {
    std::wstring line = L"\"" + folder + L"\\" + exe + L"\"";
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
        for (DWORD waited = 0; window == nullptr && waited < kPatienceMs; ++waited) {
            window = visibleWindowOf(info.dwProcessId);
            if (window == nullptr) {
                Sleep(1);
            }
        }
    }
    if (window != nullptr) {
        start = Start{elapsedMs(started), 0, dllsOf(info.hProcess)};
        // Private bytes are the page-file usage: Windows gives both the same, Wine only the latter.
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory)) {
            start->privateBytes = memory.PagefileUsage;
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(info.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
        std::printf("%s did not end; ended by force\n", velmora::narrow(exe).c_str());
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, kPatienceMs);
        start.reset();
    }
    CloseHandle(info.hProcess);
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
    std::printf("%-26s", name);
    for (const Start& start : starts) {
        times.push_back(start.milliseconds);
        bytes.push_back(start.privateBytes);
        std::printf(" %7.1f ms %6lu KB", start.milliseconds, static_cast<unsigned long>(start.privateBytes / 1024));
    }
    const Figures figures{leastAndMedian(times), leastAndMedian(bytes)};
    std::printf("\n%-26s least %.1f ms, median %.1f ms; private bytes least %lu KB, median %lu KB\n", "",
                figures.milliseconds.first, figures.milliseconds.second,
                static_cast<unsigned long>(figures.privateBytes.first / 1024),
                static_cast<unsigned long>(figures.privateBytes.second / 1024));
    std::printf("%-26s DLLs: %s\n", "", starts.front().dlls.c_str());
    return figures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = argc > 1 ? argv[1] : velmora::widen(VELMORA_PROGRAMS_DIR);
    const std::wstring programs[] = {L"velmora.exe", L"velmora_startup_floor.exe"};

    // A default start: the registry switch set, settings saved, no link in the simulated state.
    velmora::testing::setProhibitIpsec(true);
    if (!velmora::testing::saveSettings(velmora::testing::dialProfile())) {
        std::puts("cannot write the settings file");
        return 1;
    }
    const velmora::testing::TempFolder sim;
    SetEnvironmentVariableW(L"VELMORA_SIM_DIR", sim.path().c_str());

    // The first start of a session also pays for Wine's desktop and fonts: once each, not counted.
    std::vector<Start> starts[2];
    for (int run = -1; run < kRuns; ++run) {
        for (int program = 0; program < 2; ++program) {
            const std::optional<Start> start = startOnce(folder, programs[program]);
            if (!start) {
                std::printf("%s did not show its window\n", velmora::narrow(programs[program]).c_str());
                return 1;
            }
            if (run >= 0) {
                starts[program].push_back(*start);
            }
        }
    }
    std::printf("Start-up until the window is visible and idle, %d starts each:\n", kRuns);
    const Figures velmora = summarise("velmora.exe", starts[0]);
    const Figures floor = summarise("velmora_startup_floor.exe", starts[1]);
    std::printf("velmora.exe / floor: time %.2f by the least, %.2f by the median; private bytes %.2f by the "
                "least, %.2f by the median\n",
                velmora.milliseconds.first / floor.milliseconds.first,
                velmora.milliseconds.second / floor.milliseconds.second,
                static_cast<double>(velmora.privateBytes.first) / static_cast<double>(floor.privateBytes.first),
                static_cast<double>(velmora.privateBytes.second) / static_cast<double>(floor.privateBytes.second));
    return 0;
}
