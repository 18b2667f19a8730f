#include "core/system/logon_start.h"

#include "core/system/general.h"

namespace velmora {

namespace {

std::string xmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string taskPath(const std::string& userSid) {
    return std::string(kLogonTaskFolder) + "\\" + userSid;
}

}  // namespace

LogonStartWay logonStartWay(const VersionRecord& version) {
    return version.major >= 6 ? LogonStartWay::logonTask : LogonStartWay::runValue;
}

std::string logonStartCommand(const std::string& programPath) {
    return "\"" + programPath + "\" /minimized";
}

std::string logonTaskDefinition(const std::string& userSid, const std::string& programPath) {
    const std::string user = "<UserId>" + xmlText(userSid) + "</UserId>";
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           "<Triggers><LogonTrigger><Enabled>true</Enabled>" + user + "</LogonTrigger></Triggers>\r\n"
           "<Principals><Principal id=\"Author\">" + user +
           "<LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel></Principal></Principals>\r\n"
           "<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
           "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
           "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\r\n"
           "<Actions Context=\"Author\"><Exec><Command>" + xmlText(programPath) +
           "</Command><Arguments>/minimized</Arguments></Exec></Actions>\r\n"
           "</Task>\r\n";
}

bool LogonStart::isOn(const std::string& programPath) {
    if (logonStartWay(version_.version()) == LogonStartWay::runValue) {
        return registry_.readString(kHkeyCurrentUser, kRunKey, kRunValueName) == logonStartCommand(programPath);
    }
    const std::string sid = tasks_.userSid();
    return !sid.empty() && tasks_.exists(taskPath(sid));
}

bool LogonStart::turn(bool on, const std::string& programPath) {
    if (logonStartWay(version_.version()) == LogonStartWay::runValue) {
        if (on) {
            return registry_.writeString(kHkeyCurrentUser, kRunKey, kRunValueName, logonStartCommand(programPath));
        }
        // Another program's value of that name is not this program's to remove.
        return !isOn(programPath) || registry_.deleteValue(kHkeyCurrentUser, kRunKey, kRunValueName);
    }
    const std::string sid = tasks_.userSid();
    if (sid.empty()) {
        return false;
    }
    return on ? tasks_.create(taskPath(sid), logonTaskDefinition(sid, programPath)) : tasks_.remove(taskPath(sid));
}

std::string LogonStart::place() {
    if (logonStartWay(version_.version()) == LogonStartWay::runValue) {
        return std::string("HKCU\\") + kRunKey + "\\" + kRunValueName;
    }
    return "计划任务 " + taskPath(tasks_.userSid());
}

}  // namespace velmora
