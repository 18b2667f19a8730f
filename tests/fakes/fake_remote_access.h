// The remote-access service in memory: a test sets the lists it answers and reads the hang-ups.
#pragma once

#include <algorithm>
#include <map>
#include <string>
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
    // The connection goes from the list, as the service drops it.
    void hangUp(RasHandle handle) override {
        hangUps.push_back(handle);
        auto& connections = list.connections;
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [&](const ActiveConnection& c) { return c.handle == handle; }),
                          connections.end());
    }
    std::string connectionAddress(RasHandle handle) override {
        const auto found = addresses.find(handle);
        return found != addresses.end() ? found->second : std::string();
    }
    std::string errorText(std::uint32_t code) override {
        const auto found = errorTexts.find(code);
        return found != errorTexts.end() ? found->second : std::string();
    }

    void connect(RasHandle handle, const std::string& entryName) { list.connections.push_back({handle, entryName}); }

    ConnectionList list;
    std::vector<std::string> entries;
    int queries = 0;
    std::vector<RasHandle> hangUps;
    std::map<std::uint32_t, std::string> errorTexts;
    std::map<RasHandle, std::string> addresses;  // what each connection's projection answers
};

}  // namespace velmora::testing
