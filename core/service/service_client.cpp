#include "core/service/service_client.h"

namespace velmora {

namespace {

constexpr const char* kNoAnswer = "Velmora VPN 服务没有响应。请确认服务“Velmora VPN”正在运行，或与管理员联系。";

bool done(const Message& reply) {
    return !reply.numbers.empty() && reply.numbers[0] == static_cast<std::uint32_t>(ReplyStatus::done);
}

// The reply's number after its status, 0 where it has none.
std::uint32_t number(const Message& reply, std::size_t index) {
    return index + 1 < reply.numbers.size() ? reply.numbers[index + 1] : 0;
}

std::string text(const Message& reply, std::size_t index) {
    return index < reply.texts.size() ? reply.texts[index] : std::string();
}

// Why a request was not carried out: the service's own words, or that it did not answer.
std::string whyNot(const std::optional<Message>& reply) {
    return reply && !done(*reply) && !reply->texts.empty() ? reply->texts[0] : kNoAnswer;
}

}  // namespace

// A run of the service's, as the window waits on it.
class ServiceClient::Program : public RunningProgram {
public:
    Program(ServiceClient& client, RunKey key, std::uintptr_t handle) : client_(client), key_(key), handle_(handle) {}

    std::uintptr_t waitHandle() const override { return handle_; }
    std::optional<std::uint32_t> exitStatus() override { return client_.runStatus(key_); }
    void terminate() override { client_.endRun(key_); }

private:
    ServiceClient& client_;
    RunKey key_;
    std::uintptr_t handle_;
};

void ServiceClient::channelGone() {
    retired_.push_back(std::move(channel_));
    reader_ = FrameReader();
    replies_.clear();
    ended_.clear();
}

std::optional<std::size_t> ServiceClient::takeIn(std::uint32_t milliseconds) {
    const auto bytes = channel_->receive(milliseconds);
    if (!bytes || !reader_.add(bytes->data(), bytes->size())) {
        channelGone();
        return std::nullopt;
    }
    while (const auto frame = reader_.next()) {
        const auto message = decodeMessage(frame->data(), frame->size());
        if (!message) {
            channelGone();
            return std::nullopt;
        }
        if (message->kind == MessageKind::reply) {
            replies_[message->id] = *message;
        } else if (message->kind == MessageKind::runEnded && !message->numbers.empty()) {
            ended_[message->id] = message->numbers[0];
        }
    }
    return bytes->size();
}

std::optional<Message> ServiceClient::call(const Request& request) {
    if (!channel_) {
        channel_ = connector_.connect();
        if (!channel_) {
            return std::nullopt;
        }
        ++channelNumber_;
    }
    const std::uint32_t id = nextId_++;
    if (!channel_->send(encodeFrame(requestMessage(id, request)))) {
        channelGone();
        return std::nullopt;
    }
    // The service answers at once: nothing at all in all that time means it hangs.
    for (;;) {
        if (const auto found = replies_.find(id); found != replies_.end()) {
            Message reply = found->second;
            replies_.erase(found);
            return reply;
        }
        const auto taken = takeIn(kReplyWaitMs);
        if (taken && *taken == 0) {
            channelGone();
        }
        if (!taken || *taken == 0) {
            return std::nullopt;
        }
    }
}

std::optional<std::uint32_t> ServiceClient::runStatus(const RunKey& key) {
    if (!channel_ || key.channel != channelNumber_ || !takeIn(0)) {
        return kServiceGoneStatus;
    }
    if (const auto found = ended_.find(key.run); found != ended_.end()) {
        return found->second;
    }
    return std::nullopt;
}

void ServiceClient::endRun(const RunKey& key) {
    if (!runStatus(key)) {
        (void)call(EndRun{key.run});
    }
}

std::unique_ptr<RunningProgram> ServiceClient::program(std::uint32_t run) {
    if (run == 0 || !channel_) {
        return nullptr;
    }
    return std::make_unique<Program>(*this, RunKey{channelNumber_, run}, channel_->readyHandle());
}

std::optional<ClientDecision> ServiceClient::hello() {
    const auto reply = call(Hello{});
    if (!reply || !done(*reply)) {
        return std::nullopt;
    }
    return ClientDecision{number(*reply, 0) == 1, text(*reply, 0)};
}

SwitchChange ServiceClient::setL2tpSwitch() {
    const auto reply = call(SetL2tpSwitch{});
    const std::uint32_t change = reply && done(*reply) ? number(*reply, 0) : 0;
    return reply && done(*reply) && change <= static_cast<std::uint32_t>(SwitchChange::notWritten)
               ? static_cast<SwitchChange>(change)
               : SwitchChange::notWritten;
}

void ServiceClient::nameIpsecLibrary() {
    (void)call(NameIpsecLibrary{});
}

Started ServiceClient::startPolicyRun(const PolicyRun& run) {
    const auto reply = call(run);
    Started started;
    if (!reply || !done(*reply)) {
        started.failure = whyNot(reply);
        started.refused = true;
        return started;
    }
    started.program = program(number(*reply, 0));
    started.failure = text(*reply, 0);
    return started;
}

DialStarted ServiceClient::startDial(const DialRequest& dial) {
    const auto reply = call(dial);
    DialStarted started;
    if (!reply || !done(*reply)) {
        started.failure = "Velmora VPN 服务没有拨号：" + whyNot(reply);
        started.refused = true;
        return started;
    }
    started.program = program(number(*reply, 0));
    started.phonebookWritten = number(*reply, 1) == 1;
    started.phonebook = text(*reply, 0);
    started.failure = text(*reply, 1);
    return started;
}

bool ServiceClient::addRoute(const Route& route) {
    const auto reply = call(route);
    return reply && done(*reply);
}

std::optional<std::vector<std::string>> ServiceClient::oldSettings(char drive) {
    const auto reply = call(OldSettings{drive, false});
    if (!reply || !done(*reply) || number(*reply, 0) != 1) {
        return std::nullopt;
    }
    return reply->texts;
}

void ServiceClient::removeOldSettings(char drive) {
    (void)call(OldSettings{drive, true});
}

bool ServiceClient::removeOldLogonTask() {
    const auto reply = call(RemoveOldLogonTask{});
    return reply && done(*reply) && number(*reply, 0) == 1;
}

ConnectionList ServiceClient::activeConnections() {
    const auto reply = call(ListConnections{});
    ConnectionList list;
    if (!reply || !done(*reply)) {
        list.status = kServiceGoneStatus;
        return list;
    }
    list.status = number(*reply, 0);
    for (std::size_t i = 0; i < reply->texts.size() && i + 2 < reply->numbers.size(); ++i) {
        list.connections.push_back({reply->numbers[i + 2], reply->texts[i]});
    }
    return list;
}

void ServiceClient::hangUp(RasHandle handle) {
    (void)call(HangUp{handle});
}

// Handle 0 is no connection: the questions about it are answered without the service, which keeps
// the window's start (a link not yet looked at) from waiting on it.
std::string ServiceClient::connectionAddress(RasHandle handle) {
    if (handle == 0) {
        return {};
    }
    const auto reply = call(ConnectionQuery{MessageKind::connectionAddress, handle});
    return reply && done(*reply) ? text(*reply, 0) : std::string();
}

ConnectionStatistics ServiceClient::connectionStatistics(RasHandle handle) {
    if (handle == 0) {
        return {};
    }
    const auto reply = call(ConnectionQuery{MessageKind::connectionStatistics, handle});
    if (!reply || !done(*reply) || number(*reply, 0) != 1) {
        return {};
    }
    return {true, number(*reply, 1), number(*reply, 2), number(*reply, 3)};
}

// A service that does not answer, or refuses the question, tells nothing of the connection.
GoneAnswer ServiceClient::connectionGone(RasHandle handle) {
    if (handle == 0) {
        return GoneAnswer::gone;
    }
    const auto reply = call(ConnectionQuery{MessageKind::connectionGone, handle});
    return reply && done(*reply) && reply->numbers.size() == 2 ? goneAnswer(number(*reply, 0)) : GoneAnswer::noAnswer;
}

ConnectedAnswer ServiceClient::connectionConnected(RasHandle handle) {
    if (handle == 0) {
        return ConnectedAnswer::notConnected;
    }
    const auto reply = call(ConnectionQuery{MessageKind::connectionConnected, handle});
    return reply && done(*reply) && reply->numbers.size() == 2 ? connectedAnswer(number(*reply, 0))
                                                               : ConnectedAnswer::noAnswer;
}

}  // namespace velmora
