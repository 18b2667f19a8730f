// What the window and the service say to each other on their channel: frames of a four-byte
// length and one message each; a message is a kind, an identifier, numbers and texts. A request
// names one operation and carries its values, never a command line, a path or a file name.
// Everything is bounded: a frame, a message or a request that breaks a bound or its shape is
// refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/service/operations.h"
#include "platform/remote_access.h"

namespace velmora {

using Bytes = std::vector<std::uint8_t>;

// The bounds of a frame's message (its length not counted), and of what a message holds.
inline constexpr std::size_t kMaxMessageBytes = 16 * 1024;
inline constexpr std::size_t kMaxMessageNumbers = 80;
inline constexpr std::size_t kMaxMessageTexts = 80;
inline constexpr std::size_t kMaxTextBytes = 1024;

enum class MessageKind : std::uint8_t {
    // The window's requests.
    hello = 1,
    setL2tpSwitch,
    nameIpsecLibrary,
    startPolicyRun,
    startDial,
    endRun,
    addRoute,
    hangUp,
    listConnections,
    connectionAddress,
    connectionStatistics,
    connectionGone,
    connectionConnected,
    oldSettings,
    removeOldSettings,
    removeOldLogonTask,
    // The service's answers: to a request (same identifier), and of a run that ended (its
    // identifier the run's).
    reply = 128,
    runEnded,
};

struct Message {
    MessageKind kind = MessageKind::hello;
    std::uint32_t id = 0;
    std::vector<std::uint32_t> numbers;
    std::vector<std::string> texts;
};

// The frame of a message: its length (little-endian), then kind, identifier, the count and the
// numbers (four bytes each, little-endian), the count and the texts (two bytes of length, then the
// bytes). A message that breaks a bound is the caller's fault: it must not be sent.
Bytes encodeFrame(const Message& message);

// A message from the bytes of one frame (its length taken off): nothing when a count, a length or
// the kind is out of bounds, bytes are missing or left over, or a text holds a NUL or is not UTF-8.
std::optional<Message> decodeMessage(const std::uint8_t* data, std::size_t size);

// Cuts a stream of bytes into frames.
class FrameReader {
public:
    // Takes the bytes that arrived. False once the stream has announced a frame longer than the
    // bound: nothing after that can be trusted, and nothing more is taken.
    bool add(const std::uint8_t* data, std::size_t size);
    // The next whole frame's bytes, its length taken off; nothing until one has arrived whole.
    std::optional<Bytes> next();
    bool broken() const { return broken_; }

private:
    Bytes pending_;
    bool broken_ = false;
};

// The requests, as their values.
struct Hello {};
struct SetL2tpSwitch {};
struct NameIpsecLibrary {};
struct EndRun {
    std::uint32_t run = 0;
};
struct HangUp {
    RasHandle connection = 0;
};
struct ListConnections {};
struct ConnectionQuery {
    MessageKind question = MessageKind::connectionAddress;  // address, statistics, gone or connected
    RasHandle connection = 0;
};
// The settings file of an earlier version at the root of a drive ('A' to 'Z').
struct OldSettings {
    char drive = 'C';
    bool remove = false;  // take it away, once carried over, rather than read it
};
struct RemoveOldLogonTask {};

using Request = std::variant<Hello, SetL2tpSwitch, NameIpsecLibrary, PolicyRun, DialRequest, EndRun, Route, HangUp,
                             ListConnections, ConnectionQuery, OldSettings, RemoveOldLogonTask>;

// The message that asks for the request.
Message requestMessage(std::uint32_t id, const Request& request);

// The request a message asks for: nothing when its kind is no request, or its numbers and texts
// are not exactly the request's (their counts, an enumeration out of range, a drive that is no
// letter). Whether the values themselves may be used is for the checks (request_checks.h).
std::optional<Request> parseRequest(const Message& message);

// A reply's number for an answer about a connection: 1 for connected or gone, 0 for not connected
// or still there, 2 for no answer; a number out of that range reads as no answer.
std::uint32_t answerNumber(ConnectedAnswer answer);
std::uint32_t answerNumber(GoneAnswer answer);
ConnectedAnswer connectedAnswer(std::uint32_t number);
GoneAnswer goneAnswer(std::uint32_t number);

// How the service answered, the first number of every reply.
enum class ReplyStatus : std::uint32_t {
    done = 0,
    refused = 1,    // the asker or the values were refused: the first text says why
    malformed = 2,  // the request could not be read
};

}  // namespace velmora
