#include "core/settings/private_files.h"

#include <map>
#include <string>
#include <vector>

#include "core/connection/phonebook.h"
#include "core/settings/settings_file.h"
#include "core/system/data_folder.h"

namespace velmora {

void restrictDataFiles(ShellFolders& shell, TextFiles& files, ConnectionLog& log) {
    const std::string folder = getDataFolder(shell);
    std::map<FileAccess, std::vector<std::string>> found;
    for (const char* name : {kSettingsFileName, kL2tpPhonebook, kPptpPhonebook}) {
        const std::string path = folder + name;
        found[files.restrictAccess(path)].push_back(path);
    }
    for (const FileAccess access : {FileAccess::restrictedNow, FileAccess::failed, FileAccess::openToAll}) {
        if (found.count(access) != 0) {
            log.dataFilesAccess(access, found[access]);
        }
    }
}

}  // namespace velmora
