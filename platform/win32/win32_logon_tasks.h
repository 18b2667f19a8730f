// LogonTasks over the Task Scheduler's COM interfaces (Windows Vista on), with COM loaded from the
// system folder when first asked; where the scheduler cannot be had every call fails.
#pragma once

#include "platform/logon_tasks.h"
#include "platform/win32/system_library.h"

namespace velmora {

class Win32LogonTasks : public LogonTasks {
public:
    std::string userSid() override;
    bool exists(const std::string& path) override;
    // Registers a task from its definition (task XML, UTF-8), replacing one of the same path and
    // creating its folder: an earlier version's, as the tests plant it. True when it is registered.
    bool create(const std::string& path, const std::string& definition);
    // The task's folder goes with its last task.
    bool remove(const std::string& path) override;

private:
    SystemLibrary com_{L"ole32.dll"};
    SystemLibrary automation_{L"oleaut32.dll"};
};

}  // namespace velmora
