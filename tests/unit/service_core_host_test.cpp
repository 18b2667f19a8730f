// What the service's host relies on from the core: the handles it gives to wait on are those of
// programs still under way, so that a wait sleeps until something happens; and every frame it
// hands back decodes within the channel's bounds, so that no reply breaks the client's stream.
#include "core/service/service_core.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/fake_service.h"

namespace velmora {
namespace {

class ServiceCoreForTheHost : public ::testing::Test, protected testing::FakeService {
protected:
    ClientId administrator() {
        ClientFacts facts;
        facts.user = "VM\\admin";
        facts.administrator = true;
        facts.interactive = true;
        return core.connect(facts, AccessPolicy{});
    }

    // The reply to the request, decoded as the client decodes it; nothing when it does not decode.
    std::optional<Message> ask(ClientId client, const Request& request) {
        const Bytes sent = encodeFrame(requestMessage(1, request));
        const Bytes frame = core.receive(client, Bytes(sent.begin() + 4, sent.end()));
        FrameReader reader;
        if (!reader.add(frame.data(), frame.size())) {
            return std::nullopt;
        }
        const std::optional<Bytes> body = reader.next();
        return body ? decodeMessage(body->data(), body->size()) : std::nullopt;
    }
};

TEST_F(ServiceCoreForTheHost, aTakeBackGivesNoHandleOfAWithdrawalThatHasEndedToWaitOn) {
    const ClientId client = administrator();
    const PolicyRun apply{RuleDirection::outbound, true, "10.10.10.4", "10.8.0.1", "255.255.0.0", "Zq8preshared",
                          "ESP-3DES-SHA"};
    ASSERT_TRUE(ask(client, apply).has_value());
    (void)core.poll();
    core.disconnect(client);

    // The outbound withdrawal starts and ends at once; the pause before the inbound one follows.
    (void)core.poll();
    ASSERT_TRUE(core.takingBack());
    ASSERT_EQ(processes.started.size(), 2u);
    EXPECT_TRUE(core.waitHandles().empty()) << "an ended program's handle wakes every wait at once";

    clock.ticks += kTakeBackPolicyPauseMs;
    (void)core.poll();
    EXPECT_EQ(processes.started.size(), 3u);
    EXPECT_FALSE(core.takingBack());
}

TEST_F(ServiceCoreForTheHost, anOldSettingsFileTooBigForAReplyIsAnsweredAsNoneOfThisProgramsWithinTheBounds) {
    const ClientId client = administrator();
    const struct {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"a line longer than a text may be", std::string(kMaxTextBytes + 1, 'a') + "\r\n"},
        {"lines longer together than a message may be", [] {
             std::string bytes;
             for (int i = 0; i < 20; ++i) {
                 bytes += std::string(1000, 'b') + "\r\n";
             }
             return bytes;
         }()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        files.files["C:\\l2tpipsec.ini"] = row.bytes;
        const std::optional<Message> reply = ask(client, OldSettings{'C', false});
        ASSERT_TRUE(reply.has_value()) << "the reply breaks the client's stream";
        EXPECT_EQ(reply->numbers, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(ReplyStatus::done), 0}));
        EXPECT_TRUE(reply->texts.empty());
    }
    // A file that fits is handed over whole.
    files.files["C:\\l2tpipsec.ini"] = "ServerAddress=vpn.example.com\r\n" + std::string(kMaxTextBytes, 'c') + "\r\n";
    const std::optional<Message> reply = ask(client, OldSettings{'C', false});
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->texts, (std::vector<std::string>{"ServerAddress=vpn.example.com", std::string(kMaxTextBytes, 'c')}));
}

}  // namespace
}  // namespace velmora
