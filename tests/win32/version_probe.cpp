// What the program sees at start-up, for the version tests: reads the version, names the policy
// library in this probe's own folder, chooses the tool, and writes "<version>|<tool>|<service pack>" as
// UTF-8 to the file named by its argument.
//   velmora_version_probe <report file>
#include <windows.h>

#include "core/ipsec/windows_version.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_file_operations.h"
#include "platform/win32/win32_windows_version.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    velmora::Win32WindowsVersion windows;
    velmora::Win32FileOperations files;
    velmora::nameIpsecLibrary(windows.version(), files);
    const std::string version = velmora::windowsVersionText(windows.version());
    const std::string report =
        version + "|" + velmora::chooseIpsecTool(version) + "|" + windows.version().servicePack;
    const velmora::UniqueHandle file(
        CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return WriteFile(file.get(), report.data(), static_cast<DWORD>(report.size()), &written, nullptr) ? 0 : 1;
}
