// Starting the command-line tools the program drives (rasdial, route, ping, the policy tool).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Processes {
public:
    virtual ~Processes() = default;

    // Runs the command line (UTF-8) as a child in the current directory and returns its exit
    // status when it has ended; processes no window messages meanwhile. Returns nothing, at
    // once, when it cannot start.
    virtual std::optional<std::uint32_t> runAndWait(const std::string& commandLine) = 0;

    // Starts the command line (UTF-8) with a hidden window and returns at once; the child's
    // exit is never observed. A program that cannot start leaves nothing behind.
    virtual void startHidden(const std::string& commandLine) = 0;
};

}  // namespace velmora
