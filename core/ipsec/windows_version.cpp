#include "core/ipsec/windows_version.h"

#include "core/text/text.h"

namespace velmora {

namespace {

// Only the first 14 characters count, so a description that goes on after the number
// ("Service Pack 2a") still names its service pack.
bool parksTheLibrary(const std::string& servicePack) {
    const std::string name = leftChars(servicePack, 14);
    return name == "Service Pack 2" || name == "Service Pack 3" || name == "Service Pack 4";
}

void renameIfOnlySource(FileOperations& files, const std::string& from, const std::string& to) {
    if (files.normalFileExists(from) && !files.normalFileExists(to)) {
        files.renameFile(from, to);
    }
}

}  // namespace

std::string windowsVersionText(const VersionRecord& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

void nameIpsecLibrary(const VersionRecord& version, FileOperations& files) {
    if (windowsVersionText(version) != "5.1") {
        return;
    }
    const std::string folder = files.programFolder();
    const std::string active = folder + "\\" + kActiveLibrary;
    const std::string parked = folder + "\\" + kParkedLibrary;
    if (parksTheLibrary(version.servicePack)) {
        renameIfOnlySource(files, active, parked);
    } else {
        renameIfOnlySource(files, parked, active);
    }
}

std::string chooseIpsecTool(const std::string& versionText) {
    if (versionText == "5.0") {
        return "ipsecpol";
    }
    // The major number counts, not the text: "10.0" is later than "6.0".
    const std::size_t dot = versionText.find('.');
    const std::string major = versionText.substr(0, dot);
    const bool numeric = dot != std::string::npos && !major.empty() && major.size() <= 9 &&
                         major.find_first_not_of("0123456789") == std::string::npos;
    return numeric && std::stoi(major) >= 6 ? kPolicyToolName : "ipseccmd";
}

}  // namespace velmora
