// The system's Task Scheduler (Windows Vista on), as far as the program's start at the user's
// logon needs it: one task, addressed by its full path ("\Folder\Name").
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

    // Registers the task from its definition (task XML, UTF-8), replacing one of the same path and
    // creating its folder. True when it is registered.
    virtual bool create(const std::string& path, const std::string& definition) = 0;

    // Deletes the task; true when it is gone afterwards, also when it never was there.
    virtual bool remove(const std::string& path) = 0;
};

}  // namespace velmora
