// The Windows version as text, the policy tool it calls for, and on Windows XP the name of the
// policy library in the program's folder: "winipsec.dll" before Service Pack 2, parked as
// "zertaipsec.dll" from Service Pack 2 on.
#pragma once

#include <string>

#include "platform/file_operations.h"
#include "platform/windows_version.h"

namespace velmora {

inline constexpr const char* kActiveLibrary = "winipsec.dll";
inline constexpr const char* kParkedLibrary = "zertaipsec.dll";

// "<major>.<minor>", e.g. "5.1"; on "5.1" it first gives the library the name the service
// pack calls for, when only the other name is present (a hidden or system file counts as
// absent). A rename that fails leaves the folder as it was.
std::string getversion(WindowsVersion& windows, FileOperations& files);

// "ipsecpol" for Windows 2000 ("5.0"), "ipseccmd" for every other version text.
std::string chooseIpsecTool(const std::string& versionText);

}  // namespace velmora
