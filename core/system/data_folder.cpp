#include "core/system/data_folder.h"

#include "core/text/text.h"

namespace velmora {

std::string getDataFolder(ShellFolders& shell) {
    const auto documents = shell.documentsFolder();
    if (documents && documents->rfind("\\\\", 0) != 0) {
        return leftChars(*documents, 3);
    }
    const auto system = shell.systemFolder();
    return system ? leftChars(*system, 3) : std::string();
}

}  // namespace velmora
