#include "core/system/logon_start.h"

#include "core/system/general.h"

namespace velmora {

std::string logonStartCommand(const std::string& programPath) {
    return "\"" + programPath + "\" /minimized";
}

bool LogonStart::isOn(const std::string& programPath) {
    return registry_.readString(kHkeyCurrentUser, kRunKey, kRunValueName) == logonStartCommand(programPath);
}

bool LogonStart::turn(bool on, const std::string& programPath) {
    if (on) {
        return registry_.writeString(kHkeyCurrentUser, kRunKey, kRunValueName, logonStartCommand(programPath));
    }
    // Another program's value of that name is not this program's to remove.
    return !isOn(programPath) || registry_.deleteValue(kHkeyCurrentUser, kRunKey, kRunValueName);
}

std::string LogonStart::place() {
    return std::string("HKCU\\") + kRunKey + "\\" + kRunValueName;
}

bool LogonStart::moveEarlierTask(Operations& operations, const VersionRecord& version,
                                 const std::string& programPath) {
    // Before Vista no version made a task.
    if (version.major < 6 || registry_.readValueData(kHkeyCurrentUser, kUserKey, kEarlierTaskMoved)) {
        return false;
    }
    const bool moved = operations.removeOldLogonTask() && turn(true, programPath);
    (void)(registry_.createKey(kHkeyCurrentUser, kUserKey) &&
           registry_.writeDword(kHkeyCurrentUser, kUserKey, kEarlierTaskMoved, 1));
    return moved;
}

}  // namespace velmora
