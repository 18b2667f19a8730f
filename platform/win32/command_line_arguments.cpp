#include "platform/win32/command_line_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/text_codec.h"

namespace velmora {
namespace {

std::vector<std::string> argumentsAfterName(const wchar_t* commandLine) {
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(commandLine, &count);
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

}  // namespace

std::vector<std::string> argumentsOf(const std::string& commandLine) {
    return argumentsAfterName(widen(commandLine).c_str());
}

std::vector<std::string> commandLineArguments() {
    return argumentsAfterName(GetCommandLineW());
}

}  // namespace velmora
