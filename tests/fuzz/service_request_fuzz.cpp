// libFuzzer target: arbitrary bytes as what a client writes to the service's pipe, through the
// service's reading of them: cut into frames, each decoded, parsed as a request and checked. On
// every input: the frames do not depend on how the bytes arrived; nothing decoded breaks a bound;
// and what parses comes back the same from the window's encoding of it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ipsec/windows_version.h"
#include "core/service/request_checks.h"
#include "core/service/service_protocol.h"

namespace velmora {
namespace {

void require(bool promise) {
    if (!promise) {
        std::abort();
    }
}

bool sameMessage(const Message& a, const Message& b) {
    return a.kind == b.kind && a.id == b.id && a.numbers == b.numbers && a.texts == b.texts;
}

// The frames a reader cuts from the bytes given in pieces of the size, and whether it broke.
std::vector<Bytes> frames(const std::uint8_t* data, std::size_t size, std::size_t piece, bool& broken) {
    FrameReader reader;
    std::vector<Bytes> found;
    for (std::size_t at = 0; at < size; at += piece) {
        (void)reader.add(data + at, std::min(piece, size - at));
        while (auto frame = reader.next()) {
            found.push_back(*frame);
        }
    }
    broken = reader.broken();
    return found;
}

void serveFrame(const Bytes& frame) {
    require(frame.size() <= kMaxMessageBytes);
    const std::optional<Message> message = decodeMessage(frame.data(), frame.size());
    if (!message) {
        return;
    }
    require(message->numbers.size() <= kMaxMessageNumbers && message->texts.size() <= kMaxMessageTexts);
    for (const std::string& text : message->texts) {
        require(text.size() <= kMaxTextBytes && text.find('\0') == std::string::npos);
    }
    // A message that decodes encodes to the same bytes.
    const Bytes encoded = encodeFrame(*message);
    require(Bytes(encoded.begin() + 4, encoded.end()) == frame);

    const std::optional<Request> request = parseRequest(*message);
    if (!request) {
        return;
    }
    for (const char* tool : {kPolicyToolName, "ipseccmd", "ipsecpol"}) {
        (void)checkRequest(*request, tool);
    }
    // The window's message for the request is the one that was read, and reads as it again.
    const Message asked = requestMessage(message->id, *request);
    require(sameMessage(asked, *message));
    const Bytes again = encodeFrame(asked);
    const std::optional<Message> decoded = decodeMessage(again.data() + 4, again.size() - 4);
    require(decoded && sameMessage(*decoded, asked));
    const std::optional<Request> reparsed = parseRequest(*decoded);
    require(reparsed && reparsed->index() == request->index());
    require(sameMessage(requestMessage(message->id, *reparsed), asked));
}

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    bool whole = false;
    const std::vector<Bytes> found = frames(data, size, size == 0 ? 1 : size, whole);
    // However the pipe hands the bytes over, the same frames come out.
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
        bool broken = false;
        require(frames(data, size, piece, broken) == found && broken == whole);
    }
    for (const Bytes& frame : found) {
        serveFrame(frame);
    }
    // The bytes as one frame's message, without its length.
    if (size <= kMaxMessageBytes) {
        serveFrame(Bytes(data, data + size));
    }
    return 0;
}
