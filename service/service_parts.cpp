#include "service/service_parts.h"

#include "platform/win32/private_folder.h"

namespace velmora {

std::string serviceLogFolder(const std::string& folder) {
    const std::string logs = folder + "\\" + kServiceLogFolder;
    return !folder.empty() && makePrivateFolder(logs) ? logs : std::string();
}

}  // namespace velmora
