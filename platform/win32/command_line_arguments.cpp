#include "platform/win32/command_line_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/text_codec.h"

namespace velmora {

std::vector<std::string> commandLineArguments() {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (split == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.push_back(narrow(split[i]));
    }
    (void)LocalFree(split);
    return arguments;
}

}  // namespace velmora
