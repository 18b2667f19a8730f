// RemoteAccess over rasapi32 (RasEnumEntriesA, RasEnumConnectionsA, RasHangUpA).
#pragma once

#include "platform/remote_access.h"

namespace velmora {

class Win32RemoteAccess : public RemoteAccess {
public:
    ConnectionList activeConnections() override;
    std::vector<std::string> phonebookEntries() override;
    void hangUp(RasHandle handle) override;
};

}  // namespace velmora
