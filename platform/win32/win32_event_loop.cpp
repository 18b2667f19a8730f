#include "platform/win32/win32_event_loop.h"

#include <windows.h>

namespace velmora {

// Dispatches every message waiting in the queue; false when WM_QUIT came, which is posted
// again so that the main loop still ends.
bool Win32EventLoop::dispatchPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (dialogWindow_ != nullptr && IsDialogMessageW(dialogWindow_, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void Win32EventLoop::delay(int seconds) {
    if (seconds > 0) {
        sleepFor(static_cast<DWORD>(seconds) * 1000);
    }
}

void Win32EventLoop::pause(std::uint32_t milliseconds) {
    sleepFor(milliseconds);
}

void Win32EventLoop::sleepFor(DWORD total) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!dispatchPending()) {
            return;
        }
        const DWORD elapsed = ticksSince(start, GetTickCount());
        if (elapsed >= total) {
            return;
        }
        if (wait_(0, nullptr, FALSE, total - elapsed, kWakeMask) == WAIT_FAILED) {
            Sleep(kFallbackSleepMs);
        }
    }
}

std::optional<std::uint32_t> Win32EventLoop::waitFor(RunningProgram& program) {
    return wait(program, INFINITE);
}

std::optional<std::uint32_t> Win32EventLoop::waitAtMost(RunningProgram& program, std::uint32_t milliseconds) {
    return wait(program, milliseconds);
}

std::optional<std::uint32_t> Win32EventLoop::wait(RunningProgram& program, DWORD total) {
    HANDLE process = reinterpret_cast<HANDLE>(program.waitHandle());
    const DWORD start = GetTickCount();
    for (;;) {
        if (!dispatchPending()) {
            return std::nullopt;
        }
        // A message handled just now may have ended the program.
        if (const auto status = program.exitStatus()) {
            return status;
        }
        DWORD left = INFINITE;
        if (total != INFINITE) {
            const DWORD elapsed = ticksSince(start, GetTickCount());
            if (elapsed >= total) {
                return std::nullopt;
            }
            left = total - elapsed;
        }
        const DWORD woke = wait_(1, &process, FALSE, left, kWakeMask);
        if (woke == WAIT_FAILED) {
            if (WaitForSingleObject(process, 0) == WAIT_FAILED) {
                return std::nullopt;
            }
            Sleep(kFallbackSleepMs);
        }
    }
}

}  // namespace velmora
