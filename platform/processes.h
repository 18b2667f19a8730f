// Starting the programs the dialer drives (rasdial, route, ping, the policy tool), each from a
// full path that the caller chose: nothing is looked for by name, so no program lying in the
// current folder can stand in for one of Windows' own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

// A program that was started. Letting go of it leaves the program running.
class RunningProgram {
public:
    virtual ~RunningProgram() = default;

    // What the event loop waits on until the program has ended (the process handle on Windows).
    virtual std::uintptr_t waitHandle() const = 0;

    // The exit status once the program has ended; nothing while it runs.
    virtual std::optional<std::uint32_t> exitStatus() = 0;

    // Ends the program at once, if it still runs.
    virtual void terminate() = 0;
};

class Processes {
public:
    enum class Window { shown, hidden };

    virtual ~Processes() = default;

    // Starts program (a full path, UTF-8) with commandLine (UTF-8, its first word naming the
    // program as the program itself sees it). A shown program gets its window as it would
    // anyway (rasdial's console); a hidden one gets none of any kind. The child inherits none of
    // the caller's handles, and its current folder is the system folder. Nothing when it cannot
    // be started.
    virtual std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& commandLine,
                                                  Window window) = 0;
};

}  // namespace velmora
