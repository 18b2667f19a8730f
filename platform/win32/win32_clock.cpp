#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace velmora {

LocalTime Win32Clock::localTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
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
