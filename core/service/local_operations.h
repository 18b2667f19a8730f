// The operations carried out in this process, with its rights: by the service for its clients,
// and by the window itself where it runs with administrator rights and no service answers. The
// programs come from the system folder, and the policy tool and the phonebooks from the
// operations' own folder (the service's installed folder, or the program's), never from a folder
// a client names.
#pragma once

#include <string>

#include "core/service/operations.h"
#include "platform/file_operations.h"
#include "platform/logon_tasks.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text_files.h"
#include "platform/windows_version.h"

namespace velmora {

class LocalOperations : public Operations {
public:
    // folder: where the policy tool, the policy library and defaultgate.pbk lie and where the
    // phonebooks are written (its programFolder).
    LocalOperations(Processes& processes, Registry& registry, TextFiles& files, FileOperations& folder,
                    ShellFolders& shell, WindowsVersion& version, LogonTasks& tasks)
        : processes_(processes), registry_(registry), files_(files), folder_(folder), shell_(shell),
          version_(version), tasks_(tasks) {}

    SwitchChange setL2tpSwitch() override;
    void nameIpsecLibrary() override;
    Started startPolicyRun(const PolicyRun& run) override;
    DialStarted startDial(const DialRequest& dial) override;
    bool addRoute(const Route& route) override;
    std::optional<std::vector<std::string>> oldSettings(char drive) override;
    void removeOldSettings(char drive) override;
    // The task of the user this process runs for.
    bool removeOldLogonTask() override;

    // The policy tool's name for this Windows (chooseIpsecTool).
    std::string ipsecTool();
    // Closes the stored rule, which holds the preshared key, to the computer's other users
    // (closeRule); velmora-ipsec does it itself.
    void closePolicyRule(RuleDirection rule);
    // Starts "route delete" for the route, hidden, not waited for.
    void deleteRoute(const Route& route);
    // The full path of a phonebook in the operations' folder.
    std::string phonebookPath(DialPhonebook phonebook);
    // Removes the logon task an earlier version made for the user of that SID; true when there was one.
    bool removeLogonTask(const std::string& userSid);

private:
    Processes& processes_;
    Registry& registry_;
    TextFiles& files_;
    FileOperations& folder_;
    ShellFolders& shell_;
    WindowsVersion& version_;
    LogonTasks& tasks_;
};

}  // namespace velmora
