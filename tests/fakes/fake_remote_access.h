// The remote-access service in memory: a test sets the lists it answers and reads the hang-ups.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/remote_access.h"

namespace velmora::testing {

class FakeRemoteAccess : public RemoteAccess {
public:
    std::vector<std::string> phonebookEntries() override { return entries; }
    ConnectionList activeConnections() override {
        ++queries;
        note("list");
        return list;
    }
    // The connection goes from the list, as the service drops it: at once, or after it has
    // answered lingerLooks looks as still there.
    void hangUp(RasHandle handle) override {
        hangUps.push_back(handle);
        note("hangUp " + std::to_string(handle));
        if (lingerLooks == 0) {
            drop(handle);
        } else {
            lingering[handle] = lingerLooks;
        }
        if (onHangUp) {
            onHangUp(handle);
        }
    }
    GoneAnswer connectionGone(RasHandle handle) override {
        if (unanswered.count(handle) != 0) {
            return GoneAnswer::noAnswer;
        }
        const auto found = lingering.find(handle);
        if (found != lingering.end() && found->second-- > 0) {
            return GoneAnswer::stillThere;
        }
        if (found != lingering.end()) {
            lingering.erase(found);
            drop(handle);
            note("gone " + std::to_string(handle));
        }
        return listed(handle) ? GoneAnswer::stillThere : GoneAnswer::gone;
    }
    ConnectedAnswer connectionConnected(RasHandle handle) override {
        if (unanswered.count(handle) != 0) {
            return ConnectedAnswer::noAnswer;
        }
        return disconnected.count(handle) == 0 && listed(handle) ? ConnectedAnswer::connected
                                                                 : ConnectedAnswer::notConnected;
    }
    std::string connectionAddress(RasHandle handle) override {
        const auto found = addresses.find(handle);
        return found != addresses.end() ? found->second : std::string();
    }
    ConnectionStatistics connectionStatistics(RasHandle handle) override {
        const auto found = statistics.find(handle);
        return found != statistics.end() ? found->second : ConnectionStatistics{};
    }
    std::string errorText(std::uint32_t code) override {
        const auto found = errorTexts.find(code);
        return found != errorTexts.end() ? found->second : std::string();
    }

    void connect(RasHandle handle, const std::string& entryName) { list.connections.push_back({handle, entryName}); }
    void drop(RasHandle handle) {
        auto& connections = list.connections;
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [&](const ActiveConnection& c) { return c.handle == handle; }),
                          connections.end());
    }

    ConnectionList list;
    std::vector<std::string> entries;
    int queries = 0;
    std::vector<RasHandle> hangUps;
    std::map<std::uint32_t, std::string> errorTexts;
    std::map<RasHandle, std::string> addresses;  // what each connection's projection answers
    std::set<RasHandle> disconnected;            // listed, but no longer reported connected
    std::set<RasHandle> unanswered;              // whose status the service fails to tell
    std::map<RasHandle, ConnectionStatistics> statistics;  // unknown for the others
    // Looks at a hung-up connection that still find it there.
    int lingerLooks = 0;
    std::map<RasHandle, int> lingering;
    // Runs after each hang-up, as the service's other clients would see it (rasdial returning).
    std::function<void(RasHandle)> onHangUp;
    // When set, what the service was asked, in order: "list", "hangUp <handle>", "gone <handle>".
    std::vector<std::string>* calls = nullptr;

private:
    bool listed(RasHandle handle) const {
        return std::any_of(list.connections.begin(), list.connections.end(),
                           [&](const ActiveConnection& c) { return c.handle == handle; });
    }
    void note(const std::string& call) {
        if (calls != nullptr) {
            calls->push_back(call);
        }
    }
};

}  // namespace velmora::testing
