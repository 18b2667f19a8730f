// Running a console tool of the system to its end, out of sight, for its exit status.
#pragma once

#include <string>

namespace velmora {

class ToolRunner {
public:
    // The exit status of a tool that could not be started at all.
    static constexpr int kCannotStart = -1;

    virtual ~ToolRunner() = default;

    // Runs the command line (UTF-8) with no window of any kind and returns the program's exit
    // status once it has ended, or kCannotStart.
    virtual int runHidden(const std::string& commandLine) = 0;
};

}  // namespace velmora
