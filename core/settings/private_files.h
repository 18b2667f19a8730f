// The program's own files in the data folder (the settings file and the two phonebooks) closed to
// the computer's other users before any of them is read: the settings hold the secrets, and what
// the program reads it acts on with administrator rights.
#pragma once

#include "core/log/connection_log.h"
#include "platform/shell_folders.h"
#include "platform/text_files.h"

namespace velmora {

// Closes each of the files that others can read or change, keeping its bytes. The log tells, in
// one line each, which were closed now, which could not be, and which lie on a file system that
// keeps no permissions.
void restrictDataFiles(ShellFolders& shell, TextFiles& files, ConnectionLog& log);

}  // namespace velmora
