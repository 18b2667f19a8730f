// The connection log's file and clock in memory: the lines as the file would get them, at the
// time the test sets.
#pragma once

#include <string>
#include <vector>

#include "core/log/connection_log.h"
#include "platform/clock.h"
#include "platform/log_file.h"

namespace velmora::testing {

class FakeLogFile : public LogFile {
public:
    void append(const std::string& line) override { lines.push_back(line); }
    std::string path() override { return logPath; }

    std::vector<std::string> lines;
    std::string logPath = "C:\\Users\\alice\\AppData\\Local\\Velmora\\velmora.log";
};

class FakeClock : public Clock {
public:
    LocalTime localTime() override { return now; }
    std::uint32_t milliseconds() override { return ticks; }

    LocalTime now{2026, 3, 14, 9, 26, 5};
    std::uint32_t ticks = 0;
};

// A connection log written into memory, for the units that take one.
struct MemoryLog {
    // The lines without their date and time ("2026-03-14 09:26:05 ").
    std::vector<std::string> events() const {
        std::vector<std::string> events;
        for (const std::string& line : file.lines) {
            events.push_back(line.substr(std::string("2026-03-14 09:26:05 ").size()));
        }
        return events;
    }

    FakeLogFile file;
    FakeClock clock;
    ConnectionLog log{file, clock};
};

}  // namespace velmora::testing
