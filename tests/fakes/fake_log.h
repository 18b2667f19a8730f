// The connection log's services in memory: the lines as the file would get them, at a fixed
// time and a tick count the test sets.
#pragma once

#include <string>
#include <vector>

#include "core/log/connection_log.h"

namespace velmora::testing {

// How the fixed time begins every line.
inline const std::string kLogTime = "2026-01-02 03:04:05 ";

class FakeLogFile : public LogFile {
public:
    void append(const std::string& line) override { lines.push_back(line); }
    std::string path() override { return "C:\\Users\\alice\\AppData\\Local\\Velmora\\velmora.log"; }

    std::vector<std::string> lines;
};

class FakeClock : public Clock {
public:
    LocalTime localTime() override { return {2026, 1, 2, 3, 4, 5}; }
    // Within the same day, as the tests ask it.
    LocalTime localTimeBefore(std::uint32_t seconds) override {
        const int left = 3 * 3600 + 4 * 60 + 5 - static_cast<int>(seconds);
        return {2026, 1, 2, left / 3600, left / 60 % 60, left % 60};
    }
    std::uint32_t milliseconds() override { return ticks; }
    std::uint64_t systemTime() override { return now; }

    std::uint32_t ticks = 0;
    std::uint64_t now = 0;
};

// A connection log written into memory.
struct MemoryLog {
    FakeLogFile file;
    FakeClock clock;
    ConnectionLog log{file, clock};
};

}  // namespace velmora::testing
