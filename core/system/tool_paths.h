// Where each program that the service (or an elevated copy of the window) and the window start is
// taken from. They run with administrator rights, or a user's, and are often started from a
// downloads folder or a share: a program is taken only from a folder that only administrators can
// change, never from the current folder.
#pragma once

#include <string>

#include "platform/file_operations.h"
#include "platform/shell_folders.h"

namespace velmora {

// One of Windows' own tools (rasdial, route, ping): "<system folder>\<name>.exe"; empty, so that
// it cannot start, when the system folder is unknown.
std::string systemTool(ShellFolders& shell, const std::string& name);

// The policy tool named by chooseIpsecTool: velmora-ipsec from the program's folder, where the
// installer puts it; ipsecpol and ipseccmd, which an administrator installs, from the program's
// folder, else the system folder. Never from the search path, whose folders anyone may have put
// there. Empty when neither holds it.
std::string policyToolProgram(const std::string& tool, FileOperations& files, ShellFolders& shell);

}  // namespace velmora
