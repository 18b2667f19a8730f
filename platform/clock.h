// The time as the log tells it: the local date and time, and a count for durations; the system
// time, which with that count tells when Windows started.
#pragma once

#include <cstdint>

namespace velmora {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;

    // The local date and time now.
    virtual LocalTime localTime() = 0;
    // The local date and time the given seconds ago.
    virtual LocalTime localTimeBefore(std::uint32_t seconds) = 0;

    // Milliseconds on a count that only moves forward; it wraps around at 2^32, so only the
    // difference between two readings means anything.
    virtual std::uint32_t milliseconds() = 0;

    // The system time (UTC) in 100-nanosecond intervals since 1601, as Windows counts it.
    virtual std::uint64_t systemTime() = 0;
};

}  // namespace velmora
