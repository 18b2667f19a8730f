// The service's logic, portable: whom it serves, each request checked and carried out through the
// operations, what each client made (the policy it applied, the routes it added, the link its
// dial brought up), and the take-back when a client goes, however it ended, or the service stops.
// It never waits: a run is started and watched, and a take-back goes on step by step as poll
// comes round, so that one client's clean-up holds no other client up.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/service/client_decision.h"
#include "core/service/local_operations.h"
#include "core/service/service_log.h"
#include "core/service/service_protocol.h"
#include "platform/clock.h"
#include "platform/remote_access.h"

namespace velmora {

using ClientId = std::uint32_t;

// A frame for a client.
struct Outgoing {
    ClientId client = 0;
    Bytes frame;
};

// How long a take-back waits for hung-up connections to go, and between the policy's two lines.
inline constexpr std::uint32_t kTakeBackHangUpWaitMs = 3000;
inline constexpr std::uint32_t kTakeBackPolicyPauseMs = 1000;

class ServiceCore {
public:
    ServiceCore(LocalOperations& operations, RemoteAccess& remoteAccess, Clock& clock, ServiceLog& log)
        : operations_(operations), remoteAccess_(remoteAccess), clock_(clock), log_(log) {}

    // A client has connected, as its token describes it; whether it is served is decided here,
    // once, and logged.
    ClientId connect(const ClientFacts& facts, const AccessPolicy& policy);

    // A frame the client sent (as FrameReader gives it, its length taken off): the reply's frame to
    // send back. One that does not read as a request is answered as malformed and logged; the
    // client goes on.
    Bytes receive(ClientId client, const Bytes& frame);

    // The client is gone (closed, killed, crashed, logged off, or its stream broke its framing):
    // what it made is taken back from now on.
    void disconnect(ClientId client);
    // The service stops: every client is taken back.
    void disconnectAll();

    // Carries on what is under way: each run that ended is told to its client and noted (a dial's
    // link becomes its client's); each take-back takes the steps it can. What to send, to whom.
    std::vector<Outgoing> poll();

    // The handles of the programs under way, for the host to wait on between polls.
    std::vector<std::uintptr_t> waitHandles() const;
    // True while a take-back goes on: the host polls again within a tenth of a second or so.
    bool takingBack() const;

private:
    struct Run {
        std::unique_ptr<RunningProgram> program;
        std::optional<PolicyRun> policy;  // a policy run's values; nothing for a dial
    };
    enum class Step { endRuns, waitGone, withdrawOutbound, waitOutbound, pause, withdrawInbound, waitInbound, routes };
    struct TakeBack {
        Step step = Step::endRuns;
        std::uint32_t since = 0;  // the clock when the step began
        std::unique_ptr<RunningProgram> run;
        std::vector<RasHandle> hungUp;
    };
    struct Client {
        ClientFacts facts;
        ClientDecision decision;
        std::map<std::uint32_t, Run> runs;
        std::optional<PolicyRun> policy;  // what it applied, until a withdrawal ended well
        std::vector<Route> routes;
        std::vector<RasHandle> links;     // the connections its dials brought up
        std::optional<TakeBack> takeBack; // set once it is gone
    };

    Message carryOut(ClientId id, Client& client, std::uint32_t requestId, const Request& request);
    Message startPolicyRun(ClientId id, Client& client, std::uint32_t requestId, const PolicyRun& run);
    Message startDial(ClientId id, Client& client, std::uint32_t requestId, const DialRequest& dial);
    Message hangUp(ClientId id, Client& client, std::uint32_t requestId, RasHandle connection);
    Message answer(const Client& client, std::uint32_t requestId, const ConnectionQuery& query);
    Message oldSettings(Client& client, std::uint32_t requestId, const OldSettings& request);
    // The client that holds the connection among its links, other than the one asking.
    std::optional<ClientId> otherHolder(ClientId asking, RasHandle connection) const;
    // Another client's dial under way, or its link still up.
    bool anotherClientsLink(ClientId asking) const;
    void runEnded(ClientId id, Client& client, const Run& run, std::uint32_t status);
    // Takes the next steps of a gone client's take-back; true once it is done.
    bool takeBack(ClientId id, Client& client);
    std::vector<RasHandle> entryConnections();
    std::uint32_t since(std::uint32_t start) { return clock_.milliseconds() - start; }

    LocalOperations& operations_;
    RemoteAccess& remoteAccess_;
    Clock& clock_;
    ServiceLog& log_;
    std::map<ClientId, Client> clients_;
    ClientId nextClient_ = 1;
    std::uint32_t nextRun_ = 1;
    // The client whose policy may be in force: the policy is the computer's one, so no other
    // client applies or withdraws it meanwhile. 0: nobody's.
    ClientId policyOwner_ = 0;
};

}  // namespace velmora
