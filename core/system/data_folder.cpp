#include "core/system/data_folder.h"

#include "core/text/text.h"

namespace velmora {

std::string getDataFolder(ShellFolders& shell) {
    const auto documents = shell.documentsFolder();
    if (!documents) {
        return {};
    }
    return leftChars(*documents, 3);
}

}  // namespace velmora
