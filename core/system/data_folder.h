// The folder that holds the settings file and the phonebook files: the root of the drive
// that holds the user's documents (the first three characters of that folder's path), or of
// the system's drive when the documents lie on a network share.
#pragma once

#include <string>

#include "platform/shell_folders.h"

namespace velmora {

// The data folder, to which a file name is appended directly ("C:\" + "ipsec.pbk"). A documents
// folder redirected to a share (\\server\share\...) has no drive root, and one the shell cannot
// name has none either: the root of the system's drive serves then. Empty when neither is known,
// so that file names fall back to the current folder.
std::string getDataFolder(ShellFolders& shell);

}  // namespace velmora
