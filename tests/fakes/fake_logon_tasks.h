// The Task Scheduler in memory: the registered tasks by path, a scheduler that refuses every
// change, and a hook that runs inside a registration as a message let through would.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/logon_tasks.h"

namespace velmora::testing {

class FakeLogonTasks : public LogonTasks {
public:
    std::string userSid() override { return sid; }
    bool exists(const std::string& path) override { return tasks.count(path) != 0; }
    bool create(const std::string& path, const std::string& definition) override {
        if (duringChange) {
            duringChange();
        }
        if (refuses) {
            return false;
        }
        tasks[path] = definition;
        return true;
    }
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
    std::function<void()> duringChange;
};

}  // namespace velmora::testing
