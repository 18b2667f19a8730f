#include "platform/win32/win32_windows_version.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/text_codec.h"

namespace velmora {

// The record every Windows since 95 accepts; the extended one came later.
static_assert(sizeof(OSVERSIONINFOA) == 148, "version record layout");

VersionRecord Win32WindowsVersion::version() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    VersionRecord record;
    if (!GetVersionExA(&info)) {
        return record;
    }
    record.major = info.dwMajorVersion;
    record.minor = info.dwMinorVersion;
    record.build = info.dwBuildNumber;
    const std::size_t length = strnlen(info.szCSDVersion, sizeof info.szCSDVersion);
    record.servicePack = ansiToUtf8(std::string(info.szCSDVersion, length));
    return record;
}

}  // namespace velmora
