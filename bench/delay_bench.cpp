// Processor time that one delay(1) consumes: the wait must sleep on the message queue, not
// spin, also where the system refuses the wait (as Windows 2000 does for a mask it does not
// know). Prints the elapsed and the processor milliseconds.
#include <windows.h>

#include <cstdio>

#include "platform/win32/win32_event_loop.h"

namespace {

ULONGLONG processorTime100ns() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return value(kernel) + value(user);
}

DWORD WINAPI failingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
}

void measure(const char* label, velmora::Win32EventLoop& loop) {
    constexpr int kRounds = 3;
    for (int round = 1; round <= kRounds; ++round) {
        const DWORD startTicks = GetTickCount();
        const ULONGLONG startCpu = processorTime100ns();
        loop.delay(1);
        const ULONGLONG cpu = processorTime100ns() - startCpu;
        const DWORD elapsed = GetTickCount() - startTicks;
        std::printf("delay(1), %s, round %d: %lu ms elapsed, %.1f ms processor time\n", label, round,
                    static_cast<unsigned long>(elapsed), static_cast<double>(cpu) / 10000.0);
    }
}

}  // namespace

int main() {
    velmora::Win32EventLoop waiting;
    measure("waiting on the queue", waiting);
    velmora::Win32EventLoop refused(failingWait);
    measure("wait refused", refused);
    return 0;
}
