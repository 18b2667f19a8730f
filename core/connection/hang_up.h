// Hanging up as the remote-access service asks: each connection is hung up, then waited for
// until the service no longer knows it, before anything is dialled again, Connect comes back or
// the program ends.
#pragma once

#include <string>
#include <vector>

#include "core/log/connection_log.h"
#include "platform/event_loop.h"
#include "platform/remote_access.h"

namespace velmora {

// The longest wait for hung-up connections to be gone, in milliseconds.
inline constexpr std::uint32_t kHangUpWaitMs = 3000;

// Hangs up each connection of the entry that the service lists now and that is not in asked
// yet, logging each, and adds it to asked.
void hangUpEntry(RemoteAccess& remoteAccess, const std::string& entry, ConnectionLog& log,
                 std::vector<RasHandle>& asked);

// Waits, while the window stays responsive, until the service knows none of the connections,
// or kHangUpWaitMs has passed (which the log tells). A connection the service gives no answer
// about is still waited for: it may be there.
void waitUntilGone(RemoteAccess& remoteAccess, EventLoop& loop, ConnectionLog& log,
                   const std::vector<RasHandle>& handles);

}  // namespace velmora
