// Starting the program in the tray at the user's logon: how it is done on each Windows version,
// what it starts, and turning it on and off for the user this program runs for.
#pragma once

#include <string>

#include "platform/logon_tasks.h"
#include "platform/registry.h"
#include "platform/windows_version.h"

namespace velmora {

// Before Windows Vista a value in the user's Run key. From Vista on Windows silently skips a
// program from the Run key that asks for administrator rights, as this one does: there a
// scheduled task at the user's logon starts it with the highest rights the user has.
enum class LogonStartWay { runValue, logonTask };

inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Velmora VPN";
// The program's task folder: one task per user, named by the user's SID, so that an uninstaller
// finds every user's task.
inline constexpr const char* kLogonTaskFolder = "\\Velmora VPN";

LogonStartWay logonStartWay(const VersionRecord& version);

// "\"<program>\" /minimized": the tray, no window.
std::string logonStartCommand(const std::string& programPath);

// The task XML of the logon task: started at that user's logon, as that user with the highest
// rights the user has, without a time limit, and also on battery.
std::string logonTaskDefinition(const std::string& userSid, const std::string& programPath);

class LogonStart {
public:
    LogonStart(Registry& registry, LogonTasks& tasks, WindowsVersion& version)
        : registry_(registry), tasks_(tasks), version_(version) {}

    // Whether the start at logon of this program is set for the user, as the system holds it now.
    bool isOn(const std::string& programPath);
    // Sets it or removes exactly what setting it made. A value of the same name in the Run key
    // that starts something else is replaced: the name is this program's. True when done.
    bool turn(bool on, const std::string& programPath);
    // Where it lives, for the log: the Run key's value or the task's path.
    std::string place();

private:
    Registry& registry_;
    LogonTasks& tasks_;
    WindowsVersion& version_;
};

}  // namespace velmora
