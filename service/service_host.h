// The service's one thread: the pipe's instances, each client's bytes in and out, the programs
// under way, and the core between them. It waits for whichever comes first and never for one
// client at the expense of the others, except for a write, which a client that does not read
// loses after a few seconds.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/service/service_core.h"
#include "platform/registry.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

// At most this many clients at once: each takes a handle of the at most 64 one wait can watch,
// and a computer has a window per user logged on.
inline constexpr std::size_t kMaxServiceClients = 24;

// The administrator's limit on who may use the service: the local group named by ALLOWEDGROUP
// (REG_SZ) under HKLM's policy key; empty or absent, every interactive user may.
AccessPolicy readAccessPolicy(Registry& registry);

// Told how a stop goes.
class StopListener {
public:
    virtual ~StopListener() = default;
    // The stop was asked for: every client is taken back from now on.
    virtual void stopBegins() = 0;
    // The take-back goes on; called a few times a second until run returns.
    virtual void stillStopping() = 0;
};

class ServiceHost {
public:
    // registry: where the access policy is read at each connect.
    ServiceHost(ServiceCore& core, Registry& registry, ServiceLog& log);
    ~ServiceHost();
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Makes the pipe's first instance. False, with the system's error left for GetLastError, when
    // another program holds the name (then the service must not start) or it cannot be made.
    bool listen();

    // Serves until the stop event is signalled; then disconnects every client, waits until the
    // core has taken everything back, and returns.
    void run(HANDLE stop, StopListener& listener);

private:
    struct Connection {
        ClientId id = 0;
        std::string user;
        UniqueHandle pipe;
        UniqueHandle readEvent;
        OVERLAPPED read = {};
        std::array<std::uint8_t, 4096> buffer = {};
        FrameReader reader;
        bool reading = false;  // a read is under way or completed and not yet taken
        bool ended = false;
    };

    // Waits for the next client on a new instance, unless the clients are at their limit; false
    // when the instance cannot be made.
    bool startListening(bool first);
    void accept();
    // Starts the client's next read; false once its pipe is broken.
    bool arm(Connection& connection);
    void takeIn(Connection& connection);
    // Writes the frame whole; false when the pipe broke or the client did not take it in time.
    bool write(Connection& connection, const Bytes& frame);
    void deliver(const std::vector<Outgoing>& frames);
    // The client is gone or is ended: the core takes back what it made, its pipe is closed.
    void end(Connection& connection);
    void endAll();

    ServiceCore& core_;
    Registry& registry_;
    ServiceLog& log_;
    UniqueHandle listening_;
    UniqueHandle connectEvent_;
    OVERLAPPED connect_ = {};
    bool connectedAlready_ = false;  // the client came before the wait for it began
    UniqueHandle writeEvent_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace velmora
