// The system's Task Scheduler (Windows Vista on), as far as taking back the start at the user's
// logon that earlier versions registered there needs it: one task, addressed by its full path
// ("\Folder\Name").
#pragma once

#include <string>

namespace velmora {

class LogonTasks {
public:
    virtual ~LogonTasks() = default;

    // The SID of the user this program runs for, as text ("S-1-5-21-..."); empty when unknown.
    virtual std::string userSid() = 0;

    // Whether a task of that path is registered; false also when the scheduler cannot be asked.
    virtual bool exists(const std::string& path) = 0;


    // Deletes the task; true when it is gone afterwards, also when it never was there.
    virtual bool remove(const std::string& path) = 0;
};

}  // namespace velmora
