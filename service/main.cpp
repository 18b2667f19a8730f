// velmora-service.exe: the service that does for velmora.exe what needs an administrator. Without
// an argument the service manager runs it; velmora-setup.exe runs it with /register (register or
// update, then start) and /unregister (stop, then remove). The exit code is 0 or the system's error.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/command_line_arguments.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_file_operations.h"
#include "service/service_main.h"
#include "service/service_registration.h"

namespace {

// "/name" or "-name", in any case.
bool isOption(const std::string& argument, const char* name) {
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
           lstrcmpiA(argument.c_str() + 1, name) == 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace velmora;
    restrictDllSearchToSystemFolder();
    const std::vector<std::string> arguments = commandLineArguments();
    if (arguments.empty()) {
        return static_cast<int>(runServiceDispatcher());
    }
    const ServiceRegistration registration;
    if (arguments.size() == 1 && isOption(arguments[0], "register")) {
        const DWORD registered = registerService(registration, widen(Win32FileOperations().programPath()));
        return static_cast<int>(registered != ERROR_SUCCESS ? registered : startRegisteredService(registration.name));
    }
    if (arguments.size() == 1 && isOption(arguments[0], "unregister")) {
        return static_cast<int>(unregisterService(registration.name));
    }
    return ERROR_INVALID_PARAMETER;
}
