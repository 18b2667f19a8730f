// The remote-access service in memory: a test sets the lists it answers and reads the hang-ups.
#pragma once

#include <vector>

#include "platform/remote_access.h"

namespace velmora::testing {

class FakeRemoteAccess : public RemoteAccess {
public:
    ConnectionList activeConnections() override {
        ++queries;
        return list;
    }
    std::vector<std::string> phonebookEntries() override { return entries; }
    void hangUp(RasHandle handle) override { hangUps.push_back(handle); }

    void connect(RasHandle handle, const std::string& entryName) { list.connections.push_back({handle, entryName}); }

    ConnectionList list;
    std::vector<std::string> entries;
    int queries = 0;
    std::vector<RasHandle> hangUps;
};

}  // namespace velmora::testing
