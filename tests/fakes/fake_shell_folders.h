// ShellFolders in memory.
#pragma once

#include <utility>

#include "platform/shell_folders.h"

namespace velmora::testing {

// The program's folder in the user's local application data, and the settings file in it.
inline const std::string kLocalDataFolder =
    "C:\\Documents and Settings\\alice\\Local Settings\\Application Data\\Velmora";
inline const std::string kSettingsPath = kLocalDataFolder + "\\l2tpipsec.ini";

class FakeShellFolders : public ShellFolders {
public:
    explicit FakeShellFolders(std::optional<std::string> documents,
                              std::optional<std::string> system = std::string("C:\\WINDOWS\\system32"))
        : documents_(std::move(documents)), system_(std::move(system)) {}
    std::optional<std::string> documentsFolder() override { return documents_; }
    std::optional<std::string> systemFolder() override { return system_; }
    std::optional<std::string> localDataFolder() override { return localData; }

    std::optional<std::string> localData = kLocalDataFolder;

private:
    std::optional<std::string> documents_;
    std::optional<std::string> system_;
};

}  // namespace velmora::testing
