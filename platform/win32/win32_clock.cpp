#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace velmora {

LocalTime Win32Clock::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// Through the system time, so that the calendar and the time zone (its summer time included) are
// the system's own.
LocalTime Win32Clock::localTimeBefore(std::uint32_t seconds) {
    const std::uint64_t then = systemTime() - seconds * 10000000ULL;
    const FILETIME utc{static_cast<DWORD>(then), static_cast<DWORD>(then >> 32)};
    SYSTEMTIME utcTime{};
    SYSTEMTIME local{};
    (void)FileTimeToSystemTime(&utc, &utcTime);
    (void)SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::uint32_t Win32Clock::milliseconds() {
    return GetTickCount();
}

std::uint64_t Win32Clock::systemTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace velmora
