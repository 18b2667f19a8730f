#include "core/system/tool_paths.h"

#include <vector>

#include "core/ipsec/windows_version.h"

namespace velmora {

namespace {

// "C:\..." or "\\server\share\...": a folder that does not depend on the current one.
bool fullPath(const std::string& folder) {
    const bool drive = folder.size() >= 3 && folder[1] == ':' && folder[2] == '\\';
    return drive || folder.rfind("\\\\", 0) == 0;
}

std::vector<std::string> searchFolders(const std::string& path) {
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(';', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string folder = path.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
            folder = folder.substr(1, folder.size() - 2);
        }
        while (folder.size() > 3 && folder.back() == '\\') {
            folder.pop_back();
        }
        if (fullPath(folder)) {
            folders.push_back(folder);
        }
        start = end + 1;
    }
    return folders;
}

std::string inFolder(const std::string& folder, const std::string& file) {
    return folder.back() == '\\' ? folder + file : folder + "\\" + file;
}

}  // namespace

std::string systemTool(ShellFolders& shell, const std::string& name) {
    const auto system = shell.systemFolder();
    return system && !system->empty() ? inFolder(*system, name + ".exe") : std::string();
}

std::string policyToolProgram(const std::string& tool, FileOperations& files, ShellFolders& shell) {
    const std::string file = tool + ".exe";
    const std::string beside = inFolder(files.programFolder(), file);
    if (tool == kPolicyToolName || files.normalFileExists(beside)) {
        return beside;
    }
    std::vector<std::string> folders;
    if (const auto system = shell.systemFolder(); system && !system->empty()) {
        folders.push_back(*system);
    }
    for (const std::string& folder : searchFolders(files.searchPath())) {
        folders.push_back(folder);
    }
    for (const std::string& folder : folders) {
        if (files.normalFileExists(inFolder(folder, file))) {
            return inFolder(folder, file);
        }
    }
    return {};
}

}  // namespace velmora
