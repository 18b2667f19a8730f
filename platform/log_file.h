// The connection log on disk: one whole line appended at a time, the file kept within a bound,
// and never in the program's way.
#pragma once

#include <cstddef>
#include <string>

namespace velmora {

// A line that would take the log past this many bytes starts a new one; the full log is kept as
// the previous one, which it replaces.
constexpr std::size_t kLogFileLimitBytes = 256 * 1024;

class LogFile {
public:
    virtual ~LogFile() = default;

    // Appends the line (UTF-8, without a line end) whole, into a new log when it would take the
    // current one past kLogFileLimitBytes. Never waits for anything: a line that cannot be
    // written (no folder, no rights, a full disk, the file locked by another program) is
    // dropped without a word.
    virtual void append(const std::string& line) = 0;

    // The log's full path (UTF-8); empty when its folder cannot be named.
    virtual std::string path() = 0;
};

}  // namespace velmora
