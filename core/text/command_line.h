// Putting a value into a command line so that the started program gets it back as it was, by
// the rules Windows programs use to split their command line into arguments.
#pragma once

#include <string>

namespace velmora {

// The value unchanged when it holds no blank, tab or double quote, so that ordinary values
// compose byte for byte as they always have; otherwise in double quotes, with quotes and the
// backslashes before them escaped, so that it reaches the program as one argument. An empty
// value is "" (two quotes): an empty argument that keeps the arguments after it in place.
std::string quoteArgument(const std::string& value);

}  // namespace velmora
