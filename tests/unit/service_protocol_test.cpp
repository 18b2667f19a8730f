#include "core/service/service_protocol.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Each request as the window sends it, through the frame, the reader and the parser again.
std::optional<Request> roundTrip(const Request& request) {
    const Bytes frame = encodeFrame(requestMessage(7, request));
    FrameReader reader;
    // A byte at a time, as a pipe may hand them over.
    for (const std::uint8_t byte : frame) {
        EXPECT_TRUE(reader.add(&byte, 1));
    }
    const auto payload = reader.next();
    if (!payload) {
        return std::nullopt;
    }
    const auto message = decodeMessage(payload->data(), payload->size());
    EXPECT_TRUE(message && message->id == 7);
    return message ? parseRequest(*message) : std::nullopt;
}

bool samePolicyRun(const PolicyRun& a, const PolicyRun& b) {
    return a.rule == b.rule && a.apply == b.apply && a.local == b.local && a.peer == b.peer &&
           a.peerMask == b.peerMask && a.presharedKey == b.presharedKey && a.suite == b.suite;
}

TEST(ServiceProtocol, everyRequestComesThroughItsFrameAsItWasSent) {
    const PolicyRun run{RuleDirection::inbound, false, "10.10.10.4", "10.8.0.1", "255.255.0.0", " 密钥 key ", "ESP-DES"};
    const auto policy = roundTrip(run);
    ASSERT_TRUE(policy && std::holds_alternative<PolicyRun>(*policy));
    EXPECT_TRUE(samePolicyRun(std::get<PolicyRun>(*policy), run));

    const auto dial = roundTrip(DialRequest{DialPhonebook::defaultGateway, "vpn.example.com", "李 娜", "pa\"ss"});
    ASSERT_TRUE(dial && std::holds_alternative<DialRequest>(*dial));
    EXPECT_EQ(std::get<DialRequest>(*dial).phonebook, DialPhonebook::defaultGateway);
    EXPECT_EQ(std::get<DialRequest>(*dial).user, "李 娜");
    EXPECT_EQ(std::get<DialRequest>(*dial).password, "pa\"ss");

    const auto query = roundTrip(ConnectionQuery{MessageKind::connectionStatistics, 4711});
    ASSERT_TRUE(query && std::holds_alternative<ConnectionQuery>(*query));
    EXPECT_EQ(std::get<ConnectionQuery>(*query).question, MessageKind::connectionStatistics);
    EXPECT_EQ(std::get<ConnectionQuery>(*query).connection, 4711u);

    const auto old = roundTrip(OldSettings{'D', true});
    ASSERT_TRUE(old && std::holds_alternative<OldSettings>(*old));
    EXPECT_EQ(std::get<OldSettings>(*old).drive, 'D');
    EXPECT_TRUE(std::get<OldSettings>(*old).remove);

    for (const Request& plain : std::vector<Request>{Hello{}, SetL2tpSwitch{}, NameIpsecLibrary{}, EndRun{3},
                                                     Route{"10.8.0.0", "255.255.0.0", "10.10.10.4"}, HangUp{9},
                                                     ListConnections{}, RemoveOldLogonTask{}}) {
        const auto back = roundTrip(plain);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->index(), plain.index());
    }
}

// Yes and no keep the numbers an earlier window reads; whatever else a reply carries is no answer.
TEST(ServiceProtocol, anAnswerAboutAConnectionKeepsTheOldNumbersAndReadsAnyOtherAsNoAnswer) {
    EXPECT_EQ(answerNumber(ConnectedAnswer::connected), 1u);
    EXPECT_EQ(answerNumber(ConnectedAnswer::notConnected), 0u);
    EXPECT_EQ(answerNumber(GoneAnswer::gone), 1u);
    EXPECT_EQ(answerNumber(GoneAnswer::stillThere), 0u);
    EXPECT_EQ(connectedAnswer(3), ConnectedAnswer::noAnswer);
    EXPECT_EQ(goneAnswer(0xFFFFFFFFu), GoneAnswer::noAnswer);
}

TEST(FrameReader, cutsFramesWhereverTheBytesBreakAndRefusesALengthPastTheBound) {
    const Bytes first = encodeFrame(requestMessage(1, Hello{}));
    const Bytes second = encodeFrame(requestMessage(2, ListConnections{}));
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    FrameReader reader;
    ASSERT_TRUE(reader.add(both.data(), first.size() + 3));
    EXPECT_TRUE(reader.next());
    EXPECT_FALSE(reader.next()) << "the second frame is not whole yet";
    ASSERT_TRUE(reader.add(both.data() + first.size() + 3, both.size() - first.size() - 3));
    EXPECT_TRUE(reader.next());
    EXPECT_FALSE(reader.next());

    // One byte past the bound: nothing after it can be trusted, also a good frame.
    const std::uint32_t tooLong = static_cast<std::uint32_t>(kMaxMessageBytes) + 1;
    const Bytes announcement = {static_cast<std::uint8_t>(tooLong), static_cast<std::uint8_t>(tooLong >> 8),
                                static_cast<std::uint8_t>(tooLong >> 16), static_cast<std::uint8_t>(tooLong >> 24)};
    FrameReader hostile;
    EXPECT_FALSE(hostile.add(announcement.data(), announcement.size()));
    EXPECT_TRUE(hostile.broken());
    EXPECT_FALSE(hostile.add(first.data(), first.size()));
    EXPECT_FALSE(hostile.next());
}

// The message's bytes after the frame's length.
Bytes body(const Message& message) {
    const Bytes frame = encodeFrame(message);
    return Bytes(frame.begin() + 4, frame.end());
}

TEST(ServiceProtocol, aMessageThatBreaksItsShapeOrABoundIsRefusedWhole) {
    const Bytes good = body(Message{MessageKind::addRoute, 1, {}, {"10.8.0.0", "255.255.0.0", "10.10.10.4"}});
    ASSERT_TRUE(decodeMessage(good.data(), good.size()));

    Bytes truncated(good.begin(), good.end() - 1);
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes unknownKind = good;
    unknownKind[0] = 99;
    Bytes tooManyNumbers = {static_cast<std::uint8_t>(MessageKind::hello), 0, 0, 0, 0,
                            static_cast<std::uint8_t>(kMaxMessageNumbers + 1)};
    tooManyNumbers.resize(tooManyNumbers.size() + 4 * (kMaxMessageNumbers + 1) + 1, 0);
    const std::vector<std::pair<std::string, Bytes>> rows = {
        {"truncated", truncated},
        {"bytes left over", trailing},
        {"unknown kind", unknownKind},
        {"too many numbers", tooManyNumbers},
        {"a NUL in a text", body(Message{MessageKind::addRoute, 1, {}, {std::string("10.8.0.0\0x", 10)}})},
        {"not UTF-8", body(Message{MessageKind::addRoute, 1, {}, {"\xC0\xAF"}})},
        {"a surrogate", body(Message{MessageKind::addRoute, 1, {}, {"\xED\xA0\x80"}})},
        {"a text past the bound", body(Message{MessageKind::addRoute, 1, {}, {std::string(kMaxTextBytes + 1, 'a')}})},
    };
    for (const auto& [what, bytes] : rows) {
        EXPECT_FALSE(decodeMessage(bytes.data(), bytes.size())) << what;
    }
}

TEST(ServiceProtocol, aRequestIsTakenOnlyInItsExactShape) {
    const std::vector<std::pair<std::string, Message>> rows = {
        {"a hello with a value", Message{MessageKind::hello, 1, {1}, {}}},
        {"a policy run short of a text", Message{MessageKind::startPolicyRun, 1, {0, 1}, {"a", "b", "c", "d"}}},
        {"a rule past the two", Message{MessageKind::startPolicyRun, 1, {2, 1}, {"a", "b", "c", "d", "e"}}},
        {"apply neither on nor off", Message{MessageKind::startPolicyRun, 1, {0, 7}, {"a", "b", "c", "d", "e"}}},
        {"a phonebook past the three", Message{MessageKind::startDial, 1, {3}, {"s", "u", "p"}}},
        {"a route with a fourth text", Message{MessageKind::addRoute, 1, {}, {"a", "b", "c", "d"}}},
        {"a drive that is no letter", Message{MessageKind::oldSettings, 1, {'1'}, {}}},
        {"a lower-case drive", Message{MessageKind::removeOldSettings, 1, {'c'}, {}}},
        {"a reply", Message{MessageKind::reply, 1, {0}, {}}},
        {"a run's end", Message{MessageKind::runEnded, 1, {0}, {}}},
    };
    for (const auto& [what, message] : rows) {
        EXPECT_FALSE(parseRequest(message)) << what;
    }
}

}  // namespace
}  // namespace velmora
