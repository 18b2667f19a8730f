// RemoteAccess over rasapi32 (RasEnumEntriesA, RasEnumConnectionsA, RasHangUpA,
// RasGetProjectionInfoA, RasGetConnectionStatistics, RasGetConnectStatusA, RasGetErrorStringA),
// loaded from the system folder when first asked: it is no library that Windows maps for every
// program, so a load-time import would take a copy planted beside the exe. Without the library or
// a function each call fails as the service's own failure would.
#pragma once

#include "platform/remote_access.h"
#include "platform/win32/system_library.h"

namespace velmora {

class Win32RemoteAccess : public RemoteAccess {
public:
    // library: the remote-access service's DLL in the system folder.
    explicit Win32RemoteAccess(const wchar_t* library = L"rasapi32.dll") : library_(library) {}

    ConnectionList activeConnections() override;
    std::vector<std::string> phonebookEntries() override;
    void hangUp(RasHandle handle) override;
    std::string connectionAddress(RasHandle handle) override;
    ConnectionStatistics connectionStatistics(RasHandle handle) override;
    GoneAnswer connectionGone(RasHandle handle) override;
    ConnectedAnswer connectionConnected(RasHandle handle) override;
    std::string errorText(std::uint32_t code) override;

private:
    // What the service answered about the connection: its error code (0 when it answered) and,
    // when it answered, the connection's state.
    struct ConnectStatus {
        std::uint32_t error = 0;
        std::uint32_t state = 0;
    };
    ConnectStatus connectStatus(RasHandle handle);

    SystemLibrary library_;
};

}  // namespace velmora
