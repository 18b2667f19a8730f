// Whether a dial-up entry is connected, remembering the connection's handle for hang-ups.
#pragma once

#include <string>

#include "platform/remote_access.h"

namespace velmora {

class LinkQuery {
public:
    explicit LinkQuery(RemoteAccess& remoteAccess) : remoteAccess_(remoteAccess) {}

    // True when an active connection's entry name equals connName exactly (case-sensitive,
    // nothing trimmed); the first such connection's handle becomes hRasConn. A failed query
    // or no match reads as not connected and leaves hRasConn as it was.
    bool getL2tpState(const std::string& connName);

    // The handle of the connection last found up; 0 until one is found. Never cleared.
    RasHandle hRasConn() const { return hRasConn_; }

private:
    RemoteAccess& remoteAccess_;
    RasHandle hRasConn_ = 0;
};

}  // namespace velmora
