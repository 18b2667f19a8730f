// The operating system's remote-access service: the phonebook's dial-up entries, the active
// connections, the address each obtained and what each has carried, hang-up, and what its error
// codes mean.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// A connection handle as the remote-access service hands it out; 0 is no connection.
using RasHandle = std::uintptr_t;

struct ActiveConnection {
    RasHandle handle = 0;
    std::string entryName;  // UTF-8, as the service names the entry
};

// What the service has counted of a connection since it was made.
struct ConnectionStatistics {
    bool known = false;  // false when the service has no answer (no such connection, an error)
    std::uint32_t bytesSent = 0;
    std::uint32_t bytesReceived = 0;
    std::uint32_t connectedMs = 0;  // how long it has been connected
};

// Whether the service reports a connection connected. A question the service fails tells nothing
// either way: a moment after the computer resumes it can fail for a connection that is up.
enum class ConnectedAnswer { connected, notConnected, noAnswer };

// Whether the service still knows a connection; only its answer that the handle is invalid says
// the connection is gone.
enum class GoneAnswer { gone, stillThere, noAnswer };

struct ConnectionList {
    std::uint32_t status = 0;  // 0 on success, else the service's error code
    std::vector<ActiveConnection> connections;  // in the service's order
};

class RemoteAccess {
public:
    virtual ~RemoteAccess() = default;

    // The active connections, at most 64; more than 64 is the service's buffer error.
    virtual ConnectionList activeConnections() = 0;

    // The names (UTF-8) of the dial-up entries in the system's default phonebook, in the
    // service's order, at most 256; more than 256 is the service's buffer error. Empty when the
    // service fails: nothing it did not vouch for is listed.
    virtual std::vector<std::string> phonebookEntries() = 0;

    // Asks the service to hang up the connection; the result is not examined by anyone. The
    // service goes on ending it for a moment after the call returns.
    virtual void hangUp(RasHandle handle) = 0;

    // The IPv4 address (dotted quad) the connection obtained, as its PPP IP projection gives it;
    // empty when the service has no answer (no such connection, no projection, an error).
    virtual std::string connectionAddress(RasHandle handle) = 0;

    // The bytes sent and received over the connection and how long it has been connected, where
    // the service counts them (Windows 2000 on); unknown otherwise.
    virtual ConnectionStatistics connectionStatistics(RasHandle handle) = 0;

    // Gone once the service no longer knows the connection (it has been hung up completely); no
    // answer when the service fails the question otherwise or cannot be asked.
    virtual GoneAnswer connectionGone(RasHandle handle) = 0;

    // Connected while the service reports the connection connected; not connected once it reports
    // it in any other state (disconnected, still being made, being hung up) or no longer knows it;
    // no answer when the service fails the question otherwise or cannot be asked.
    virtual ConnectedAnswer connectionConnected(RasHandle handle) = 0;

    // The system's own description (UTF-8, in the system's language) of an error code that a
    // dial ended with: a remote-access code (600 to 999) from the service alone, since the
    // system's own messages give those numbers other meanings; another code from the system's
    // messages; empty when there is none.
    virtual std::string errorText(std::uint32_t code) = 0;
};

}  // namespace velmora
