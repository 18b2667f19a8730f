// ShellFolders over the shell's special-folder API.
#pragma once

#include "platform/shell_folders.h"

namespace velmora {

class Win32ShellFolders : public ShellFolders {
public:
    std::optional<std::string> documentsFolder() override;
    std::optional<std::string> systemFolder() override;
    std::optional<std::string> localDataFolder() override;
};

// <local application data>\Velmora, or empty when the shell cannot name it; not made here.
std::wstring velmoraLocalDataFolder();

// The folder of the system's own 64-bit tools as a 32-bit program reaches it on 64-bit Windows
// (Windows\Sysnative, where the system offers it), else the system folder: there the IPsec
// context of netsh is the native one.
std::optional<std::string> nativeSystemFolder();

}  // namespace velmora
