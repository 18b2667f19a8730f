#include "core/text/command_line.h"

namespace velmora {

std::string quoteArgument(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \t\"") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    // Backslashes are literal except in a run that ends at a double quote, where each pair
    // stands for one backslash; the closing quote ends such a run too.
    std::size_t backslashes = 0;
    for (const char c : value) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace velmora
