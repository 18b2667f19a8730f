#include "core/connection/link_query.h"

namespace velmora {

bool LinkQuery::getL2tpState(const std::string& connName) {
    const bool up = query(connName);
    status_.linkSeen(up);
    return up;
}

bool LinkQuery::query(const std::string& connName) {
    const ConnectionList list = remoteAccess_.activeConnections();
    if (list.status != 0) {
        return false;
    }
    for (const ActiveConnection& connection : list.connections) {
        if (connection.entryName == connName) {
            hRasConn_ = connection.handle;
            return true;
        }
    }
    return false;
}

}  // namespace velmora
