// Starting the program in the tray at the user's logon: the value in the user's Run key that
// starts it, turning it on and off for the user this program runs for, and moving the start that
// an earlier version made as a scheduled task (from Vista on, while the program asked for
// administrator rights) into that value.
#pragma once

#include <string>

#include "core/service/operations.h"
#include "platform/registry.h"
#include "platform/windows_version.h"

namespace velmora {

inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Velmora VPN";
// The task folder of earlier versions: one task per user, named by the user's SID, which the
// service and the uninstallers remove.
inline constexpr const char* kLogonTaskFolder = "\\Velmora VPN";
// The user's own key of the program, and its note that an earlier version's task was moved.
inline constexpr const char* kUserKey = "Software\\Velmora\\VPN";
inline constexpr const char* kEarlierTaskMoved = "EarlierLogonTaskMoved";

// "\"<program>\" /minimized": the tray, no window.
std::string logonStartCommand(const std::string& programPath);

class LogonStart {
public:
    explicit LogonStart(Registry& registry) : registry_(registry) {}

    // Whether the start at logon of this program is set for the user, as the Run key holds it now.
    bool isOn(const std::string& programPath);
    // Sets the value or removes it. A value of the same name that starts something else is
    // replaced by on and kept by off: the name is this program's. True when done.
    bool turn(bool on, const std::string& programPath);
    // Where it lives, for the log.
    static std::string place();

    // Once for each user, from Windows Vista on: asks the operations to remove the task an earlier
    // version made to start the program at the user's logon, and where there was one, sets the
    // Run value in its place, so that the start at logon stays as the user chose it. True when it
    // moved one.
    bool moveEarlierTask(Operations& operations, const VersionRecord& version, const std::string& programPath);

private:
    Registry& registry_;
};

}  // namespace velmora
