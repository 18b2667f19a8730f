// The user's folders as the shell names them.
#pragma once

#include <optional>
#include <string>

namespace velmora {

class ShellFolders {
public:
    virtual ~ShellFolders() = default;

    // Full path (UTF-8) of the user's documents folder, or nothing when the shell cannot name it.
    virtual std::optional<std::string> documentsFolder() = 0;
    // Full path (UTF-8) of the folder of Windows' own programs, or nothing when it is unknown.
    virtual std::optional<std::string> systemFolder() = 0;
    // Full path (UTF-8) of the program's folder in the user's local application data, which only
    // the user, the administrators and the system may reach; made when it is missing. Nothing when
    // the shell cannot name it.
    virtual std::optional<std::string> localDataFolder() = 0;
};

}  // namespace velmora
