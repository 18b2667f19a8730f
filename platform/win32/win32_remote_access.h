// RemoteAccess over rasapi32 (RasEnumEntriesA, RasEnumConnectionsA, RasHangUpA,
// RasGetErrorStringA).
#pragma once

#include "platform/remote_access.h"

namespace velmora {

class Win32RemoteAccess : public RemoteAccess {
public:
    ConnectionList activeConnections() override;
    std::vector<std::string> phonebookEntries() override;
    void hangUp(RasHandle handle) override;
    std::string errorText(std::uint32_t code) override;
};

}  // namespace velmora
