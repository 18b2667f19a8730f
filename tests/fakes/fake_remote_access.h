// The remote-access service in memory: a test sets the list it answers and reads the hang-ups.
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
    void hangUp(RasHandle handle) override { hangUps.push_back(handle); }

    void connect(RasHandle handle, const std::string& entryName) { list.connections.push_back({handle, entryName}); }

    ConnectionList list;
    int queries = 0;
    std::vector<RasHandle> hangUps;
};

}  // namespace velmora::testing
