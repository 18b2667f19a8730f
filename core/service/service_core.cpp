#include "core/service/service_core.h"

#include <algorithm>

#include "core/connection/dial_commands.h"
#include "core/ipsec/ipsec_policy.h"
#include "core/ipsec/policy_commands.h"
#include "core/ipsec/windows_version.h"
#include "core/profile/conn_profile.h"
#include "core/service/request_checks.h"
#include "core/settings/settings_file.h"

namespace velmora {

namespace {

constexpr const char* kPolicyInUse = "本计算机上另一个用户的 VPN 连接正在使用 IPSec 策略，请等它断开后再试。";
constexpr const char* kLinkInUse = "本计算机上另一个用户的 VPN 连接正在使用，请等它断开后再试。";
constexpr const char* kNotYours = "这个连接属于本计算机上的另一个用户。";
constexpr const char* kAdministratorsOnly = "只有管理员可以取回早先版本的设置。";

Message reply(std::uint32_t id, std::vector<std::uint32_t> numbers = {}, std::vector<std::string> texts = {}) {
    numbers.insert(numbers.begin(), static_cast<std::uint32_t>(ReplyStatus::done));
    return Message{MessageKind::reply, id, std::move(numbers), std::move(texts)};
}

Message refusal(std::uint32_t id, const std::string& why) {
    return Message{MessageKind::reply, id, {static_cast<std::uint32_t>(ReplyStatus::refused)}, {why}};
}

// What the log says of a request: its values, never a secret.
std::string describe(const Request& request) {
    if (const auto* run = std::get_if<PolicyRun>(&request)) {
        return std::string("IPSec策略 ") + (run->apply ? "-x" : "-y") + "，规则 " + ruleName(run->rule) + "（本机 " +
               run->local + "，远端 " + run->peer + "/" + run->peerMask + "，" + run->suite + "）";
    }
    if (const auto* dial = std::get_if<DialRequest>(&request)) {
        return "拨号：服务器 " + dial->server + "，用户 " + dial->user + "，电话簿 " + phonebookFileName(dial->phonebook);
    }
    if (const auto* route = std::get_if<Route>(&request)) {
        return routeLine(*route);
    }
    if (const auto* hangUp = std::get_if<HangUp>(&request)) {
        return "挂断连接（句柄 " + std::to_string(hangUp->connection) + "）";
    }
    if (const auto* old = std::get_if<OldSettings>(&request)) {
        return std::string(old->remove ? "删除" : "读取") + "早先版本的设置文件 " + old->drive + ":\\" +
               kSettingsFileName;
    }
    if (std::holds_alternative<SetL2tpSwitch>(request)) {
        return "设置注册表值 ProhibitIpsec";
    }
    if (std::holds_alternative<NameIpsecLibrary>(request)) {
        return "按服务包命名 IPSec 策略库";
    }
    if (std::holds_alternative<RemoveOldLogonTask>(request)) {
        return "删除早先版本的登录时启动任务";
    }
    return {};
}

}  // namespace

ClientId ServiceCore::connect(const ClientFacts& facts, const AccessPolicy& policy) {
    const ClientId id = nextClient_++;
    Client& client = clients_[id];
    client.facts = facts;
    client.decision = decideClient(facts, policy);
    log_.clientConnected(facts, client.decision);
    return id;
}

Bytes ServiceCore::receive(ClientId id, const Bytes& frame) {
    const auto found = clients_.find(id);
    if (found == clients_.end() || found->second.takeBack) {
        return {};
    }
    Client& client = found->second;
    const std::optional<Message> message = decodeMessage(frame.data(), frame.size());
    const std::optional<Request> request = message ? parseRequest(*message) : std::nullopt;
    if (!request) {
        log_.malformed(client.facts.user, false);
        return encodeFrame(Message{MessageKind::reply,
                                   message ? message->id : 0,
                                   {static_cast<std::uint32_t>(ReplyStatus::malformed)},
                                   {}});
    }
    if (std::holds_alternative<Hello>(*request)) {
        return encodeFrame(reply(message->id, {client.decision.served ? 1u : 0u}, {client.decision.refusal}));
    }
    if (!client.decision.served) {
        return encodeFrame(refusal(message->id, client.decision.refusal));
    }
    if (const auto why = checkRequest(*request, operations_.ipsecTool())) {
        log_.refused(client.facts.user, describe(*request), *why);
        return encodeFrame(refusal(message->id, *why));
    }
    return encodeFrame(carryOut(id, client, message->id, *request));
}

Message ServiceCore::carryOut(ClientId id, Client& client, std::uint32_t requestId, const Request& request) {
    const std::string& user = client.facts.user;
    if (const auto* run = std::get_if<PolicyRun>(&request)) {
        return startPolicyRun(id, client, requestId, *run);
    }
    if (const auto* dial = std::get_if<DialRequest>(&request)) {
        return startDial(id, client, requestId, *dial);
    }
    if (const auto* hangUpRequest = std::get_if<HangUp>(&request)) {
        return hangUp(id, client, requestId, hangUpRequest->connection);
    }
    if (const auto* query = std::get_if<ConnectionQuery>(&request)) {
        return answer(client, requestId, *query);
    }
    if (const auto* old = std::get_if<OldSettings>(&request)) {
        return oldSettings(client, requestId, *old);
    }
    if (const auto* end = std::get_if<EndRun>(&request)) {
        // Only a run of the client's own.
        if (const auto run = client.runs.find(end->run); run != client.runs.end()) {
            run->second.program->terminate();
        }
        return reply(requestId);
    }
    if (std::holds_alternative<ListConnections>(request)) {
        const ConnectionList list = remoteAccess_.activeConnections();
        Message answer = reply(requestId, {list.status});
        for (const ActiveConnection& connection : list.connections) {
            answer.numbers.push_back(static_cast<std::uint32_t>(connection.handle));
            answer.texts.push_back(connection.entryName);
        }
        return answer;
    }
    log_.operation(user, describe(request));
    if (const auto* route = std::get_if<Route>(&request)) {
        (void)operations_.addRoute(*route);
        const bool known = std::any_of(client.routes.begin(), client.routes.end(), [&](const Route& added) {
            return added.network == route->network && added.mask == route->mask && added.gateway == route->gateway;
        });
        if (!known) {
            client.routes.push_back(*route);
        }
        return reply(requestId);
    }
    if (std::holds_alternative<SetL2tpSwitch>(request)) {
        return reply(requestId, {static_cast<std::uint32_t>(operations_.setL2tpSwitch())});
    }
    if (std::holds_alternative<NameIpsecLibrary>(request)) {
        operations_.nameIpsecLibrary();
        return reply(requestId);
    }
    if (std::holds_alternative<RemoveOldLogonTask>(request)) {
        return reply(requestId, {operations_.removeLogonTask(client.facts.sid) ? 1u : 0u});
    }
    return reply(requestId);
}

Message ServiceCore::startPolicyRun(ClientId id, Client& client, std::uint32_t requestId, const PolicyRun& run) {
    if (policyOwner_ != 0 && policyOwner_ != id) {
        log_.refused(client.facts.user, describe(run), kPolicyInUse);
        return refusal(requestId, kPolicyInUse);
    }
    log_.operation(client.facts.user, describe(run));
    Started started = operations_.startPolicyRun(run);
    if (run.apply) {
        // Whatever the run does, something of the client's may be in force from now on.
        policyOwner_ = id;
        client.policy = run;
    }
    if (!started.program) {
        return reply(requestId, {0}, {started.failure});
    }
    const std::uint32_t runId = nextRun_++;
    client.runs[runId] = Run{std::move(started.program), run};
    return reply(requestId, {runId}, {std::string()});
}

bool ServiceCore::anotherClientsLink(ClientId asking) const {
    return std::any_of(clients_.begin(), clients_.end(), [&](const auto& entry) {
        const Client& other = entry.second;
        const bool dialling = std::any_of(other.runs.begin(), other.runs.end(),
                                          [](const auto& run) { return !run.second.policy; });
        const bool linked = std::any_of(other.links.begin(), other.links.end(), [&](RasHandle connection) {
            return remoteAccess_.connectionGone(connection) != GoneAnswer::gone;
        });
        return entry.first != asking && (dialling || linked);
    });
}

Message ServiceCore::startDial(ClientId id, Client& client, std::uint32_t requestId, const DialRequest& dial) {
    if (anotherClientsLink(id)) {
        log_.refused(client.facts.user, describe(dial), kLinkInUse);
        return refusal(requestId, kLinkInUse);
    }
    log_.operation(client.facts.user, describe(dial));
    DialStarted started = operations_.startDial(dial);
    std::uint32_t runId = 0;
    if (started.program) {
        runId = nextRun_++;
        client.runs[runId] = Run{std::move(started.program), std::nullopt};
    }
    return reply(requestId, {runId, started.phonebookWritten ? 1u : 0u}, {started.phonebook, started.failure});
}

std::optional<ClientId> ServiceCore::otherHolder(ClientId asking, RasHandle connection) const {
    for (const auto& [id, client] : clients_) {
        if (id != asking && std::find(client.links.begin(), client.links.end(), connection) != client.links.end()) {
            return id;
        }
    }
    return std::nullopt;
}

Message ServiceCore::hangUp(ClientId id, Client& client, std::uint32_t requestId, RasHandle connection) {
    const HangUp request{connection};
    if (otherHolder(id, connection)) {
        log_.refused(client.facts.user, describe(request), kNotYours);
        return refusal(requestId, kNotYours);
    }
    log_.operation(client.facts.user, describe(request));
    remoteAccess_.hangUp(connection);
    client.links.erase(std::remove(client.links.begin(), client.links.end(), connection), client.links.end());
    return reply(requestId);
}

Message ServiceCore::answer(const Client&, std::uint32_t requestId, const ConnectionQuery& query) {
    switch (query.question) {
    case MessageKind::connectionAddress:
        return reply(requestId, {}, {remoteAccess_.connectionAddress(query.connection)});
    case MessageKind::connectionStatistics: {
        const ConnectionStatistics statistics = remoteAccess_.connectionStatistics(query.connection);
        return reply(requestId, {statistics.known ? 1u : 0u, statistics.bytesSent, statistics.bytesReceived,
                                 statistics.connectedMs});
    }
    case MessageKind::connectionGone:
        return reply(requestId, {answerNumber(remoteAccess_.connectionGone(query.connection))});
    default:
        return reply(requestId, {answerNumber(remoteAccess_.connectionConnected(query.connection))});
    }
}

Message ServiceCore::oldSettings(Client& client, std::uint32_t requestId, const OldSettings& request) {
    // The file was readable by administrators alone: it goes to nobody else.
    if (!client.facts.administrator) {
        log_.refused(client.facts.user, describe(request), kAdministratorsOnly);
        return refusal(requestId, kAdministratorsOnly);
    }
    log_.operation(client.facts.user, describe(request));
    if (request.remove) {
        operations_.removeOldSettings(request.drive);
        return reply(requestId);
    }
    const auto lines = operations_.oldSettings(request.drive);
    // Longer than any settings file, or with a line longer than any of its: not one this program
    // wrote, and more than a reply may carry.
    if (!lines || lines->size() > kMaxMessageTexts ||
        std::any_of(lines->begin(), lines->end(), [](const std::string& line) {
            return line.size() > kMaxTextBytes || line.find('\0') != std::string::npos;
        })) {
        return reply(requestId, {0});
    }
    Message answer = reply(requestId, {1}, *lines);
    return encodeFrame(answer).size() - 4 <= kMaxMessageBytes ? answer : reply(requestId, {0});
}

std::vector<RasHandle> ServiceCore::entryConnections() {
    std::vector<RasHandle> found;
    for (const ActiveConnection& connection : remoteAccess_.activeConnections().connections) {
        if (connection.entryName == kEntryName) {
            found.push_back(connection.handle);
        }
    }
    return found;
}

void ServiceCore::runEnded(ClientId id, Client& client, const Run& run, std::uint32_t status) {
    // velmora-ipsec closes its rule itself; the old tools' rules are closed once they are stored.
    if (run.policy && run.policy->apply && status == 0 && operations_.ipsecTool() != kPolicyToolName) {
        operations_.closePolicyRule(run.policy->rule);
    }
    if (!run.policy) {
        // The dial's link is its client's from now on.
        for (const RasHandle connection : entryConnections()) {
            if (std::find(client.links.begin(), client.links.end(), connection) == client.links.end()) {
                client.links.push_back(connection);
            }
        }
        return;
    }
    // A withdrawal whose second line ended well leaves nothing of the client's in force.
    if (!run.policy->apply && run.policy->rule == RuleDirection::inbound && status == 0) {
        client.policy.reset();
        if (policyOwner_ == id) {
            policyOwner_ = 0;
        }
    }
}

void ServiceCore::disconnect(ClientId id) {
    const auto found = clients_.find(id);
    if (found == clients_.end() || found->second.takeBack) {
        return;
    }
    log_.clientGone(found->second.facts.user);
    found->second.takeBack = TakeBack();
    found->second.takeBack->since = clock_.milliseconds();
}

void ServiceCore::disconnectAll() {
    for (auto& entry : clients_) {
        disconnect(entry.first);
    }
}

std::vector<Outgoing> ServiceCore::poll() {
    std::vector<Outgoing> out;
    for (auto& [id, client] : clients_) {
        if (client.takeBack) {
            continue;
        }
        for (auto run = client.runs.begin(); run != client.runs.end();) {
            const std::optional<std::uint32_t> status = run->second.program->exitStatus();
            if (!status) {
                ++run;
                continue;
            }
            runEnded(id, client, run->second, *status);
            out.push_back({id, encodeFrame(Message{MessageKind::runEnded, run->first, {*status}, {}})});
            run = client.runs.erase(run);
        }
    }
    for (auto entry = clients_.begin(); entry != clients_.end();) {
        if (entry->second.takeBack && takeBack(entry->first, entry->second)) {
            entry = clients_.erase(entry);
        } else {
            ++entry;
        }
    }
    return out;
}

bool ServiceCore::takeBack(ClientId id, Client& client) {
    TakeBack& back = *client.takeBack;
    const std::string& user = client.facts.user;
    const bool ownsPolicy = policyOwner_ == id && client.policy;
    const auto startWithdrawal = [&](RuleDirection rule) {
        PolicyRun run = *client.policy;
        run.rule = rule;
        run.apply = false;
        log_.tookBack(user, describe(run));
        back.run = operations_.startPolicyRun(run).program;
        back.since = clock_.milliseconds();
    };
    // A run waited for at most as long as the window waits for one; ended then.
    const auto runOver = [&] {
        if (!back.run || back.run->exitStatus()) {
            return true;
        }
        if (since(back.since) < kPolicyRunLimitSeconds * 1000) {
            return false;
        }
        back.run->terminate();
        return true;
    };
    for (;;) {
        switch (back.step) {
        case Step::endRuns:
            // A dial under way is ended with whatever connection it made meanwhile; then the link.
            for (auto& [runId, run] : client.runs) {
                if (!run.policy) {
                    for (const RasHandle connection : entryConnections()) {
                        client.links.push_back(connection);
                    }
                }
                run.program->terminate();
            }
            client.runs.clear();
            for (const RasHandle connection : client.links) {
                if (std::find(back.hungUp.begin(), back.hungUp.end(), connection) == back.hungUp.end() &&
                    remoteAccess_.connectionGone(connection) != GoneAnswer::gone) {
                    log_.tookBack(user, describe(HangUp{connection}));
                    remoteAccess_.hangUp(connection);
                    back.hungUp.push_back(connection);
                }
            }
            back.since = clock_.milliseconds();
            back.step = Step::waitGone;
            break;
        case Step::waitGone: {
            const bool allGone = std::all_of(back.hungUp.begin(), back.hungUp.end(),
                                             [&](RasHandle connection) {
                                                 return remoteAccess_.connectionGone(connection) == GoneAnswer::gone;
                                             });
            if (!allGone && since(back.since) < kTakeBackHangUpWaitMs) {
                return false;
            }
            back.step = ownsPolicy ? Step::withdrawOutbound : Step::routes;
            break;
        }
        case Step::withdrawOutbound:
            startWithdrawal(RuleDirection::outbound);
            back.step = Step::waitOutbound;
            break;
        case Step::waitOutbound:
            if (!runOver()) {
                return false;
            }
            back.since = clock_.milliseconds();
            back.step = Step::pause;
            break;
        case Step::pause:
            if (since(back.since) < kTakeBackPolicyPauseMs) {
                return false;
            }
            back.step = Step::withdrawInbound;
            break;
        case Step::withdrawInbound:
            startWithdrawal(RuleDirection::inbound);
            back.step = Step::waitInbound;
            break;
        case Step::waitInbound:
            if (!runOver()) {
                return false;
            }
            policyOwner_ = 0;
            back.step = Step::routes;
            break;
        case Step::routes:
            for (const Route& route : client.routes) {
                log_.tookBack(user, routeDeleteLine(route));
                operations_.deleteRoute(route);
            }
            if (!back.hungUp.empty() || back.run || !client.routes.empty()) {
                log_.cleanedUp(user);
            }
            return true;
        }
    }
}

std::vector<std::uintptr_t> ServiceCore::waitHandles() const {
    std::vector<std::uintptr_t> handles;
    for (const auto& entry : clients_) {
        for (const auto& run : entry.second.runs) {
            handles.push_back(run.second.program->waitHandle());
        }
        // A withdrawal's program only while it is waited for: once it has ended, its handle would
        // end every wait at once.
        const std::optional<TakeBack>& back = entry.second.takeBack;
        if (back && back->run && (back->step == Step::waitOutbound || back->step == Step::waitInbound)) {
            handles.push_back(back->run->waitHandle());
        }
    }
    return handles;
}

bool ServiceCore::takingBack() const {
    return std::any_of(clients_.begin(), clients_.end(), [](const auto& entry) { return entry.second.takeBack.has_value(); });
}

}  // namespace velmora
