// ShellFolders over the shell's special-folder API.
#pragma once

#include "platform/shell_folders.h"

namespace velmora {

class Win32ShellFolders : public ShellFolders {
public:
    std::optional<std::string> documentsFolder() override;
    std::optional<std::string> systemFolder() override;
};

}  // namespace velmora
