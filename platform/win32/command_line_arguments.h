// A program's arguments, as every Windows program splits its command line.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The arguments after the program's name in a command line (UTF-8), split by the
// CommandLineToArgvW rules.
std::vector<std::string> argumentsOf(const std::string& commandLine);

// The running program's own arguments.
std::vector<std::string> commandLineArguments();

}  // namespace velmora
