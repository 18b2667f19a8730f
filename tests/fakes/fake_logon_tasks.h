// The Task Scheduler in memory: the registered tasks by path, and a scheduler that refuses every
// change.
#pragma once

#include <map>
#include <string>

#include "platform/logon_tasks.h"

namespace velmora::testing {

class FakeLogonTasks : public LogonTasks {
public:
    std::string userSid() override { return sid; }
    bool exists(const std::string& path) override { return tasks.count(path) != 0; }
    bool remove(const std::string& path) override {
        if (refuses) {
            return false;
        }
        tasks.erase(path);
        return true;
    }

    std::string sid = "S-1-5-21-1-2-3-1001";
    std::map<std::string, std::string> tasks;  // definition by path
    bool refuses = false;
};

}  // namespace velmora::testing
