// The task an earlier version registered to start the program at the user's logon (from Vista on,
// while the program asked for administrator rights): what the tests plant to show that the first
// start moves it into the Run key and that the uninstallers remove it. The user's SID and the
// program's path hold no characters XML would need escaped.
#pragma once

#include <string>

namespace velmora::testing {

inline std::string earlierLogonTaskDefinition(const std::string& userSid, const std::string& programPath) {
    const std::string user = "<UserId>" + userSid + "</UserId>";
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           "<Triggers><LogonTrigger><Enabled>true</Enabled>" + user + "</LogonTrigger></Triggers>\r\n"
           "<Principals><Principal id=\"Author\">" + user +
           "<LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel></Principal></Principals>\r\n"
           "<Settings><ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\r\n"
           "<Actions Context=\"Author\"><Exec><Command>" + programPath +
           "</Command><Arguments>/minimized</Arguments></Exec></Actions>\r\n"
           "</Task>\r\n";
}

}  // namespace velmora::testing
