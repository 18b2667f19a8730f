// The folder that holds the settings file and the phonebook files: the root of the drive
// that holds the user's documents (the first three characters of that folder's path).
#pragma once

#include <string>

#include "platform/shell_folders.h"

namespace velmora {

// The data folder, to which a file name is appended directly ("C:\" + "ipsec.pbk"). Empty when
// the shell cannot name the documents folder, so that file names fall back to the current folder.
std::string getDataFolder(ShellFolders& shell);

}  // namespace velmora
