// What the connection log costs the program: one line (composed, timed and appended to
// velmora.log) and the line that switches a full log to velmora.log.1. Prints the least, the
// median and the most, in microseconds, over a log in a fresh temporary folder.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/log/connection_log.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_log_file.h"

namespace {

double microsecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

void report(const char* label, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%s, %zu times: least %.0f us, median %.0f us, most %.0f us\n", label, times.size(), times.front(),
                times[times.size() / 2], times.back());
}

// A log a few bytes short of the limit, as the program leaves it before the line that switches.
void writeFullLog(const std::wstring& path) {
    std::wstring text = L"\xFEFF";
    const std::wstring line = L"2026-03-14 09:26:05 链路恢复：corvinaltexum\r\n";
    while ((text.size() + line.size()) * sizeof(wchar_t) <= velmora::kLogFileLimitBytes) {
        text += line;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"velmora-log-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);

    velmora::Win32LogFile file(velmora::narrow(folder));
    velmora::Win32Clock clock;
    velmora::ConnectionLog log(file, clock);

    // Well within one file: no switch among them.
    std::vector<double> lines;
    for (int i = 0; i < 1000; ++i) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        log.dialConnected("10.10.10.4", false);
        lines.push_back(microsecondsSince(start));
    }
    report("one line", lines);

    std::vector<double> switches;
    for (int i = 0; i < 100; ++i) {
        writeFullLog(folder + L"\\velmora.log");
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        log.linkDown("corvinaltexum");
        switches.push_back(microsecondsSince(start));
    }
    report("the line that switches to velmora.log.1", switches);

    for (const wchar_t* name : {L"\\velmora.log", L"\\velmora.log.1"}) {
        DeleteFileW((folder + name).c_str());
    }
    RemoveDirectoryW(folder.c_str());
    return 0;
}
