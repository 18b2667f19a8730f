// Whether a dial-up entry is connected, remembering the connection's handle for hang-ups, and
// keeping what the program knows of its link (link_status.h) up to date with each answer.
#pragma once

#include <string>

#include "core/connection/link_status.h"
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

    // What the program knows of the link; each query's answer goes into it.
    LinkStatus& status() { return status_; }

private:
    bool query(const std::string& connName);

    RemoteAccess& remoteAccess_;
    RasHandle hRasConn_ = 0;
    LinkStatus status_;
};

}  // namespace velmora
