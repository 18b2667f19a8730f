// The running program's own arguments, as every Windows program splits its command line.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The arguments after the program's name (UTF-8), split by the CommandLineToArgvW rules.
std::vector<std::string> commandLineArguments();

}  // namespace velmora
