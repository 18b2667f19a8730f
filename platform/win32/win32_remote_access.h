// RemoteAccess over rasapi32 (RasEnumConnectionsA, RasHangUpA).
#pragma once

#include "platform/remote_access.h"

namespace velmora {

class Win32RemoteAccess : public RemoteAccess {
public:
    ConnectionList activeConnections() override;
    void hangUp(RasHandle handle) override;
};

}  // namespace velmora
