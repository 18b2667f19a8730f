// Clock over the system's local time and its millisecond tick count.
#pragma once

#include "platform/clock.h"

namespace velmora {

class Win32Clock : public Clock {
public:
    LocalTime localTime() override;
    LocalTime localTimeBefore(std::uint32_t seconds) override;
    std::uint32_t milliseconds() override;
    std::uint64_t systemTime() override;
};

}  // namespace velmora
