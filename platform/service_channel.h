// The window's end of its channel to the service: bytes sent and received in order, and a handle
// the event loop can wait on while they travel.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

class ServiceChannel {
public:
    virtual ~ServiceChannel() = default;

    // Sends the bytes whole; false when the service is gone.
    virtual bool send(const std::vector<std::uint8_t>& bytes) = 0;

    // The bytes that have arrived, waiting at most the given milliseconds for the first of them
    // (0: only looks), without dispatching any window message; empty when none came in that time;
    // nothing once the service is gone.
    virtual std::optional<std::vector<std::uint8_t>> receive(std::uint32_t milliseconds) = 0;

    // Signalled whenever bytes may be waiting or the service has gone, for as long as the channel
    // lives: what the event loop waits on while a run of the service's goes on.
    virtual std::uintptr_t readyHandle() const = 0;
};

class ServiceConnector {
public:
    virtual ~ServiceConnector() = default;

    // A channel to the service, when it runs and is the service (whoever made its end is the
    // system or the administrators, not another user's program); nothing otherwise.
    virtual std::unique_ptr<ServiceChannel> connect() = 0;
};

}  // namespace velmora
