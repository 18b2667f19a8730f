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

// The policy tool of Windows Vista on, which the installer puts beside velmora.exe.
inline constexpr const char* kPolicyToolName = "velmora-ipsec";

// "<major>.<minor>", e.g. "5.1".
std::string windowsVersionText(const VersionRecord& version);

// On Windows XP ("5.1") gives the library in the program's folder the name the service pack
// calls for, when only the other name is present (a hidden or system file counts as absent); a
// rename that fails leaves the folder as it was. Nothing on any other version.
void nameIpsecLibrary(const VersionRecord& version, FileOperations& files);

// The policy tool's name, without path or extension: "ipsecpol" for Windows 2000 ("5.0");
// "velmora-ipsec", the program beside velmora.exe that stores the policy through netsh, from
// Windows Vista on (major version 6 or more), where neither old tool exists; "ipseccmd" for every
// other text (XP, Server 2003, a failed query's "0.0").
std::string chooseIpsecTool(const std::string& versionText);

}  // namespace velmora
