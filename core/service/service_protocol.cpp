#include "core/service/service_protocol.h"

#include "core/text/text.h"

namespace velmora {

namespace {

void putNumber(Bytes& out, std::uint32_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// Reads the message's fields in order; any read past the end fails the whole message.
class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::optional<std::uint32_t> number(std::size_t bytes) {
        if (size_ - at_ < bytes) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint32_t>(data_[at_ + i]) << (8 * i);
        }
        at_ += bytes;
        return value;
    }
    std::optional<std::string> text(std::size_t length) {
        if (size_ - at_ < length) {
            return std::nullopt;
        }
        std::string value(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return value;
    }
    bool atEnd() const { return at_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

bool knownKind(std::uint32_t kind) {
    return (kind >= static_cast<std::uint32_t>(MessageKind::hello) &&
            kind <= static_cast<std::uint32_t>(MessageKind::removeOldLogonTask)) ||
           kind == static_cast<std::uint32_t>(MessageKind::reply) ||
           kind == static_cast<std::uint32_t>(MessageKind::runEnded);
}

// A request's shape: how many numbers and texts it carries.
bool shaped(const Message& message, std::size_t numbers, std::size_t texts) {
    return message.numbers.size() == numbers && message.texts.size() == texts;
}

bool isFlag(std::uint32_t value) {
    return value <= 1;
}

// The length the pending bytes announce for their first frame; nothing before its four bytes are in.
std::optional<std::size_t> announcedLength(const Bytes& pending) {
    if (pending.size() < 4) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(pending[0]) | static_cast<std::size_t>(pending[1]) << 8 |
           static_cast<std::size_t>(pending[2]) << 16 | static_cast<std::size_t>(pending[3]) << 24;
}

}  // namespace

Bytes encodeFrame(const Message& message) {
    Bytes body;
    body.push_back(static_cast<std::uint8_t>(message.kind));
    putNumber(body, message.id, 4);
    body.push_back(static_cast<std::uint8_t>(message.numbers.size()));
    for (const std::uint32_t number : message.numbers) {
        putNumber(body, number, 4);
    }
    body.push_back(static_cast<std::uint8_t>(message.texts.size()));
    for (const std::string& text : message.texts) {
        putNumber(body, static_cast<std::uint32_t>(text.size()), 2);
        body.insert(body.end(), text.begin(), text.end());
    }
    Bytes frame;
    putNumber(frame, static_cast<std::uint32_t>(body.size()), 4);
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

std::optional<Message> decodeMessage(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxMessageBytes) {
        return std::nullopt;
    }
    Cursor cursor(data, size);
    const auto kind = cursor.number(1);
    const auto id = cursor.number(4);
    const auto numbers = cursor.number(1);
    if (!kind || !knownKind(*kind) || !id || !numbers || *numbers > kMaxMessageNumbers) {
        return std::nullopt;
    }
    Message message;
    message.kind = static_cast<MessageKind>(*kind);
    message.id = *id;
    for (std::uint32_t i = 0; i < *numbers; ++i) {
        const auto number = cursor.number(4);
        if (!number) {
            return std::nullopt;
        }
        message.numbers.push_back(*number);
    }
    const auto texts = cursor.number(1);
    if (!texts || *texts > kMaxMessageTexts) {
        return std::nullopt;
    }
    for (std::uint32_t i = 0; i < *texts; ++i) {
        const auto length = cursor.number(2);
        const auto text = length && *length <= kMaxTextBytes ? cursor.text(*length) : std::nullopt;
        if (!text || text->find('\0') != std::string::npos || !wellFormedUtf8(*text)) {
            return std::nullopt;
        }
        message.texts.push_back(*text);
    }
    if (!cursor.atEnd()) {
        return std::nullopt;
    }
    return message;
}

bool FrameReader::add(const std::uint8_t* data, std::size_t size) {
    if (!broken_) {
        pending_.insert(pending_.end(), data, data + size);
        const auto length = announcedLength(pending_);
        broken_ = length && *length > kMaxMessageBytes;
    }
    return !broken_;
}

std::optional<Bytes> FrameReader::next() {
    const auto length = announcedLength(pending_);
    if (broken_ || !length || pending_.size() < 4 + *length) {
        return std::nullopt;
    }
    const auto end = pending_.begin() + 4 + static_cast<std::ptrdiff_t>(*length);
    Bytes frame(pending_.begin() + 4, end);
    pending_.erase(pending_.begin(), end);
    // The next frame's length is checked as soon as it is there.
    const auto nextLength = announcedLength(pending_);
    broken_ = nextLength && *nextLength > kMaxMessageBytes;
    return frame;
}

Message requestMessage(std::uint32_t id, const Request& request) {
    Message message;
    message.id = id;
    std::visit(
        [&](const auto& r) {
            using R = std::decay_t<decltype(r)>;
            if constexpr (std::is_same_v<R, Hello>) {
                message.kind = MessageKind::hello;
            } else if constexpr (std::is_same_v<R, SetL2tpSwitch>) {
                message.kind = MessageKind::setL2tpSwitch;
            } else if constexpr (std::is_same_v<R, NameIpsecLibrary>) {
                message.kind = MessageKind::nameIpsecLibrary;
            } else if constexpr (std::is_same_v<R, PolicyRun>) {
                message.kind = MessageKind::startPolicyRun;
                message.numbers = {static_cast<std::uint32_t>(r.rule), r.apply ? 1u : 0u};
                message.texts = {r.local, r.peer, r.peerMask, r.presharedKey, r.suite};
            } else if constexpr (std::is_same_v<R, DialRequest>) {
                message.kind = MessageKind::startDial;
                message.numbers = {static_cast<std::uint32_t>(r.phonebook)};
                message.texts = {r.server, r.user, r.password};
            } else if constexpr (std::is_same_v<R, EndRun>) {
                message.kind = MessageKind::endRun;
                message.numbers = {r.run};
            } else if constexpr (std::is_same_v<R, Route>) {
                message.kind = MessageKind::addRoute;
                message.texts = {r.network, r.mask, r.gateway};
            } else if constexpr (std::is_same_v<R, HangUp>) {
                message.kind = MessageKind::hangUp;
                message.numbers = {static_cast<std::uint32_t>(r.connection)};
            } else if constexpr (std::is_same_v<R, ListConnections>) {
                message.kind = MessageKind::listConnections;
            } else if constexpr (std::is_same_v<R, ConnectionQuery>) {
                message.kind = r.question;
                message.numbers = {static_cast<std::uint32_t>(r.connection)};
            } else if constexpr (std::is_same_v<R, OldSettings>) {
                message.kind = r.remove ? MessageKind::removeOldSettings : MessageKind::oldSettings;
                message.numbers = {static_cast<std::uint32_t>(r.drive)};
            } else if constexpr (std::is_same_v<R, RemoveOldLogonTask>) {
                message.kind = MessageKind::removeOldLogonTask;
            }
        },
        request);
    return message;
}

namespace {

// Yes and no keep the numbers that a reply carried before "no answer" was one of its answers.
constexpr std::uint32_t kAnswerNo = 0;
constexpr std::uint32_t kAnswerYes = 1;
constexpr std::uint32_t kNoAnswer = 2;

}  // namespace

std::uint32_t answerNumber(ConnectedAnswer answer) {
    switch (answer) {
    case ConnectedAnswer::connected:
        return kAnswerYes;
    case ConnectedAnswer::notConnected:
        return kAnswerNo;
    case ConnectedAnswer::noAnswer:
        break;
    }
    return kNoAnswer;
}

std::uint32_t answerNumber(GoneAnswer answer) {
    switch (answer) {
    case GoneAnswer::gone:
        return kAnswerYes;
    case GoneAnswer::stillThere:
        return kAnswerNo;
    case GoneAnswer::noAnswer:
        break;
    }
    return kNoAnswer;
}

ConnectedAnswer connectedAnswer(std::uint32_t number) {
    switch (number) {
    case kAnswerYes:
        return ConnectedAnswer::connected;
    case kAnswerNo:
        return ConnectedAnswer::notConnected;
    default:
        return ConnectedAnswer::noAnswer;
    }
}

GoneAnswer goneAnswer(std::uint32_t number) {
    switch (number) {
    case kAnswerYes:
        return GoneAnswer::gone;
    case kAnswerNo:
        return GoneAnswer::stillThere;
    default:
        return GoneAnswer::noAnswer;
    }
}

std::optional<Request> parseRequest(const Message& m) {
    switch (m.kind) {
    case MessageKind::hello:
        return shaped(m, 0, 0) ? std::optional<Request>(Hello{}) : std::nullopt;
    case MessageKind::setL2tpSwitch:
        return shaped(m, 0, 0) ? std::optional<Request>(SetL2tpSwitch{}) : std::nullopt;
    case MessageKind::nameIpsecLibrary:
        return shaped(m, 0, 0) ? std::optional<Request>(NameIpsecLibrary{}) : std::nullopt;
    case MessageKind::startPolicyRun:
        if (!shaped(m, 2, 5) || !isFlag(m.numbers[0]) || !isFlag(m.numbers[1])) {
            return std::nullopt;
        }
        return PolicyRun{static_cast<RuleDirection>(m.numbers[0]), m.numbers[1] == 1, m.texts[0], m.texts[1], m.texts[2],
                         m.texts[3], m.texts[4]};
    case MessageKind::startDial:
        if (!shaped(m, 1, 3) || m.numbers[0] > static_cast<std::uint32_t>(DialPhonebook::defaultGateway)) {
            return std::nullopt;
        }
        return DialRequest{static_cast<DialPhonebook>(m.numbers[0]), m.texts[0], m.texts[1], m.texts[2]};
    case MessageKind::endRun:
        return shaped(m, 1, 0) ? std::optional<Request>(EndRun{m.numbers[0]}) : std::nullopt;
    case MessageKind::addRoute:
        return shaped(m, 0, 3) ? std::optional<Request>(Route{m.texts[0], m.texts[1], m.texts[2]}) : std::nullopt;
    case MessageKind::hangUp:
        return shaped(m, 1, 0) ? std::optional<Request>(HangUp{m.numbers[0]}) : std::nullopt;
    case MessageKind::listConnections:
        return shaped(m, 0, 0) ? std::optional<Request>(ListConnections{}) : std::nullopt;
    case MessageKind::connectionAddress:
    case MessageKind::connectionStatistics:
    case MessageKind::connectionGone:
    case MessageKind::connectionConnected:
        return shaped(m, 1, 0) ? std::optional<Request>(ConnectionQuery{m.kind, m.numbers[0]}) : std::nullopt;
    case MessageKind::oldSettings:
    case MessageKind::removeOldSettings:
        if (!shaped(m, 1, 0) || m.numbers[0] < 'A' || m.numbers[0] > 'Z') {
            return std::nullopt;
        }
        return OldSettings{static_cast<char>(m.numbers[0]), m.kind == MessageKind::removeOldSettings};
    case MessageKind::removeOldLogonTask:
        return shaped(m, 0, 0) ? std::optional<Request>(RemoveOldLogonTask{}) : std::nullopt;
    case MessageKind::reply:
    case MessageKind::runEnded:
        break;
    }
    return std::nullopt;
}

}  // namespace velmora
