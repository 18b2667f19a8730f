#include "core/system/tool_paths.h"

#include "core/ipsec/windows_version.h"

namespace velmora {

namespace {

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
    if (const auto system = shell.systemFolder(); system && !system->empty()) {
        if (files.normalFileExists(inFolder(*system, file))) {
            return inFolder(*system, file);
        }
    }
    return {};
}

}  // namespace velmora
