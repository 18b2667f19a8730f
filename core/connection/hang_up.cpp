#include "core/connection/hang_up.h"

#include <algorithm>

namespace velmora {

namespace {

// How often the wait asks the service again.
constexpr std::uint32_t kLookMs = 100;

}  // namespace

void hangUpEntry(RemoteAccess& remoteAccess, const std::string& entry, ConnectionLog& log,
                 std::vector<RasHandle>& asked) {
    const ConnectionList list = remoteAccess.activeConnections();
    if (list.status != 0) {
        return;
    }
    for (const ActiveConnection& connection : list.connections) {
        if (connection.entryName == entry &&
            std::find(asked.begin(), asked.end(), connection.handle) == asked.end()) {
            log.hungUp(entry, connection.handle);
            remoteAccess.hangUp(connection.handle);
            asked.push_back(connection.handle);
        }
    }
}

void waitUntilGone(RemoteAccess& remoteAccess, EventLoop& loop, ConnectionLog& log,
                   const std::vector<RasHandle>& handles) {
    std::vector<RasHandle> left = handles;
    for (std::uint32_t waited = 0;; waited += kLookMs) {
        left.erase(std::remove_if(left.begin(), left.end(),
                                  [&](RasHandle handle) {
                                      return remoteAccess.connectionGone(handle) == GoneAnswer::gone;
                                  }),
                   left.end());
        if (left.empty()) {
            return;
        }
        if (waited >= kHangUpWaitMs) {
            break;
        }
        loop.pause(kLookMs);
    }
    for (RasHandle handle : left) {
        log.hangUpUnfinished(handle, kHangUpWaitMs);
    }
}

}  // namespace velmora
