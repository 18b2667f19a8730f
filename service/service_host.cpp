#include "service/service_host.h"

#include <algorithm>

#include "core/settings/administrator_profile.h"
#include "core/system/general.h"
#include "platform/win32/client_token.h"
#include "platform/win32/service_pipe.h"

namespace velmora {

namespace {

// How often the loop looks again while a take-back goes on, while more handles are under way than
// one wait can watch, or while no instance of the pipe could be made.
constexpr DWORD kPollMs = 100;
constexpr DWORD kListenRetryMs = 1000;
// How long a write may wait for the client to read.
constexpr DWORD kWriteWaitMs = 3000;

bool signalled(HANDLE handle) {
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

// Waits for the handles, at most 64 of them, or the milliseconds; a wait that fails takes the
// milliseconds too, so that the loop never spins.
DWORD waitFor(const std::vector<HANDLE>& handles, DWORD milliseconds) {
    const DWORD woke = handles.empty() ? WAIT_TIMEOUT
                                       : WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                                                FALSE, milliseconds);
    if (handles.empty() || woke == WAIT_FAILED) {
        Sleep(milliseconds == INFINITE ? kPollMs : milliseconds);
    }
    return woke;
}

// Adds the core's handles that fit beside the others; false when some did not.
bool addCoreHandles(std::vector<HANDLE>& handles, const ServiceCore& core) {
    const std::vector<std::uintptr_t> under = core.waitHandles();
    for (const std::uintptr_t handle : under) {
        if (handles.size() == MAXIMUM_WAIT_OBJECTS) {
            return false;
        }
        handles.push_back(reinterpret_cast<HANDLE>(handle));
    }
    return true;
}

// The wait for a read, a write or a connect that was cancelled or has ended, so that its record
// and buffer may go.
void settle(HANDLE pipe, OVERLAPPED& operation) {
    DWORD ignored = 0;
    (void)CancelIo(pipe);
    (void)GetOverlappedResult(pipe, &operation, &ignored, TRUE);
}

}  // namespace

AccessPolicy readAccessPolicy(Registry& registry) {
    return AccessPolicy{registry.readString(kHkeyLocalMachine, kPolicyKey, kAllowedGroupValue).value_or(std::string())};
}

ServiceHost::ServiceHost(ServiceCore& core, Registry& registry, ServiceLog& log)
    : core_(core), registry_(registry), log_(log), connectEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

ServiceHost::~ServiceHost() {
    endAll();
}

bool ServiceHost::listen() {
    return startListening(true);
}

bool ServiceHost::startListening(bool first) {
    if (connections_.size() >= kMaxServiceClients) {
        return true;
    }
    const HANDLE pipe = createServicePipeInstance(first);
    if (pipe == INVALID_HANDLE_VALUE) {
        return false;
    }
    connect_ = OVERLAPPED{};
    connect_.hEvent = connectEvent_.get();
    (void)ResetEvent(connectEvent_.get());
    connectedAlready_ = false;
    if (!ConnectNamedPipe(pipe, &connect_)) {
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            connectedAlready_ = true;
            (void)SetEvent(connectEvent_.get());
        } else if (error != ERROR_IO_PENDING) {
            (void)CloseHandle(pipe);
            SetLastError(error);
            return false;
        }
    }
    listening_.reset(pipe);
    return true;
}

void ServiceHost::accept() {
    DWORD ignored = 0;
    const bool connected = connectedAlready_ || GetOverlappedResult(listening_.get(), &connect_, &ignored, FALSE);
    auto taken = std::make_unique<Connection>();
    taken->pipe.reset(listening_.release());
    if (!connected) {
        // The client left before it was taken in.
        (void)startListening(false);
        return;
    }
    connections_.push_back(std::move(taken));
    Connection& connection = *connections_.back();
    // The next client may come while this one is looked at.
    (void)startListening(false);
    const AccessPolicy policy = readAccessPolicy(registry_);
    const ClientFacts facts = clientFacts(connection.pipe.get(), policy.allowedGroup);
    connection.user = facts.user;
    connection.id = core_.connect(facts, policy);
    connection.readEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (connection.readEvent.get() == nullptr || !arm(connection)) {
        end(connection);
    }
}

bool ServiceHost::arm(Connection& connection) {
    connection.read = OVERLAPPED{};
    connection.read.hEvent = connection.readEvent.get();
    if (!ReadFile(connection.pipe.get(), connection.buffer.data(), static_cast<DWORD>(connection.buffer.size()),
                  nullptr, &connection.read) &&
        GetLastError() != ERROR_IO_PENDING) {
        return false;
    }
    connection.reading = true;
    return true;
}

void ServiceHost::takeIn(Connection& connection) {
    DWORD got = 0;
    const bool read = GetOverlappedResult(connection.pipe.get(), &connection.read, &got, FALSE) != FALSE;
    connection.reading = false;
    if (!read) {
        end(connection);
        return;
    }
    (void)connection.reader.add(connection.buffer.data(), got);
    while (const std::optional<Bytes> frame = connection.reader.next()) {
        const Bytes reply = core_.receive(connection.id, *frame);
        if (!reply.empty() && !write(connection, reply)) {
            end(connection);
            return;
        }
    }
    // A frame announced beyond the bound: nothing after it can be read as frames.
    if (connection.reader.broken()) {
        log_.malformed(connection.user, true);
        end(connection);
        return;
    }
    if (!arm(connection)) {
        end(connection);
    }
}

bool ServiceHost::write(Connection& connection, const Bytes& frame) {
    std::size_t sent = 0;
    while (sent < frame.size()) {
        OVERLAPPED operation{};
        operation.hEvent = writeEvent_.get();
        if (!WriteFile(connection.pipe.get(), frame.data() + sent, static_cast<DWORD>(frame.size() - sent), nullptr,
                       &operation) &&
            GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        if (WaitForSingleObject(writeEvent_.get(), kWriteWaitMs) != WAIT_OBJECT_0) {
            // The read under way is cancelled with the write; the client is ended either way.
            settle(connection.pipe.get(), operation);
            return false;
        }
        DWORD written = 0;
        if (!GetOverlappedResult(connection.pipe.get(), &operation, &written, FALSE)) {
            return false;
        }
        sent += written;
    }
    return true;
}

void ServiceHost::deliver(const std::vector<Outgoing>& frames) {
    for (const Outgoing& outgoing : frames) {
        const auto found = std::find_if(connections_.begin(), connections_.end(), [&](const auto& connection) {
            return connection->id == outgoing.client && !connection->ended;
        });
        if (found != connections_.end() && !write(**found, outgoing.frame)) {
            end(**found);
        }
    }
}

void ServiceHost::end(Connection& connection) {
    if (connection.ended) {
        return;
    }
    connection.ended = true;
    if (connection.reading) {
        settle(connection.pipe.get(), connection.read);
        connection.reading = false;
    }
    connection.pipe.reset();
    core_.disconnect(connection.id);
}

void ServiceHost::endAll() {
    for (auto& connection : connections_) {
        end(*connection);
    }
    connections_.clear();
    if (listening_.get() != nullptr) {
        if (!connectedAlready_) {
            settle(listening_.get(), connect_);
        }
        listening_.reset();
    }
}

void ServiceHost::run(HANDLE stop, StopListener& listener) {
    for (;;) {
        if (listening_.get() == nullptr) {
            (void)startListening(false);
        }
        std::vector<HANDLE> handles{stop};
        if (listening_.get() != nullptr) {
            handles.push_back(connectEvent_.get());
        }
        for (const auto& connection : connections_) {
            handles.push_back(connection->readEvent.get());
        }
        const bool allWatched = addCoreHandles(handles, core_);
        const bool listeningLost = listening_.get() == nullptr && connections_.size() < kMaxServiceClients;
        const DWORD timeout = listeningLost ? kListenRetryMs : core_.takingBack() || !allWatched ? kPollMs : INFINITE;
        if (waitFor(handles, timeout) == WAIT_OBJECT_0) {
            break;
        }
        // Whatever woke the wait, everything that is ready is taken now.
        for (std::size_t i = 0; i < connections_.size(); ++i) {
            Connection& connection = *connections_[i];
            if (!connection.ended && signalled(connection.readEvent.get())) {
                takeIn(connection);
            }
        }
        if (listening_.get() != nullptr && signalled(connectEvent_.get())) {
            accept();
        }
        deliver(core_.poll());
        connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                          [](const auto& connection) { return connection->ended; }),
                           connections_.end());
    }
    listener.stopBegins();
    core_.disconnectAll();
    endAll();
    while (core_.takingBack()) {
        listener.stillStopping();
        std::vector<HANDLE> handles;
        (void)addCoreHandles(handles, core_);
        (void)waitFor(handles, kPollMs);
        // Nobody is left to tell of a run that ended.
        (void)core_.poll();
    }
}

}  // namespace velmora
