// RemoteAccess over rasapi32 (RasEnumEntriesA, RasEnumConnectionsA, RasHangUpA,
// RasGetErrorStringA, and RasGetConnectStatusA loaded when first used).
#pragma once

#include "platform/remote_access.h"
#include "platform/win32/system_library.h"

namespace velmora {

class Win32RemoteAccess : public RemoteAccess {
public:
    ConnectionList activeConnections() override;
    std::vector<std::string> phonebookEntries() override;
    void hangUp(RasHandle handle) override;
    bool connectionGone(RasHandle handle) override;
    std::string errorText(std::uint32_t code) override;

private:
    SystemLibrary rasapi32_{L"rasapi32.dll"};
};

}  // namespace velmora
