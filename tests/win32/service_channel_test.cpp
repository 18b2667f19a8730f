// The window's channel to the service against Wine's named pipes, with the test as the service's
// end: what arrives, the handle a waiter sleeps on, and a service that goes away; and the facts
// the service learns from the client's token.
#include "platform/win32/win32_service_channel.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/service/client_decision.h"
#include "platform/win32/client_token.h"
#include "platform/win32/service_pipe.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {
namespace {

bool signalled(std::uintptr_t handle) {
    return WaitForSingleObject(reinterpret_cast<HANDLE>(handle), 0) == WAIT_OBJECT_0;
}

// The service's end of the pipe, played by the test, and the window's channel connected to it.
class ServiceEnd : public ::testing::Test {
protected:
    ServiceEnd() : pipe(createServicePipeInstance(true)) {
        channel = Win32ServiceConnector().connect();
        OVERLAPPED operation{};
        const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        operation.hEvent = event.get();
        // The client came first: the instance is connected already.
        EXPECT_FALSE(ConnectNamedPipe(pipe.get(), &operation));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
    }

    // Writes the bytes from the service's end and waits until they are in the pipe.
    void serviceWrites(const std::string& bytes) {
        OVERLAPPED operation{};
        const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        operation.hEvent = event.get();
        DWORD written = 0;
        if (!WriteFile(pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &operation)) {
            ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        ASSERT_TRUE(GetOverlappedResult(pipe.get(), &operation, &written, TRUE));
        ASSERT_EQ(written, bytes.size());
    }

    // What the service's end reads: as many bytes as asked for, waiting for them.
    std::string serviceReads(std::size_t count) {
        std::string bytes(count, '\0');
        std::size_t got = 0;
        const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        while (got < count) {
            OVERLAPPED operation{};
            operation.hEvent = event.get();
            DWORD read = 0;
            if (!ReadFile(pipe.get(), &bytes[got], static_cast<DWORD>(count - got), nullptr, &operation) &&
                GetLastError() != ERROR_IO_PENDING) {
                break;
            }
            if (!GetOverlappedResult(pipe.get(), &operation, &read, TRUE)) {
                break;
            }
            got += read;
        }
        bytes.resize(got);
        return bytes;
    }

    static std::string text(const std::optional<std::vector<std::uint8_t>>& bytes) {
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("(gone)");
    }

    UniqueHandle pipe;
    std::unique_ptr<ServiceChannel> channel;
};

TEST_F(ServiceEnd, theReadyHandleIsSetExactlyWhileBytesWaitAndAReceiveTakesAllThatCame) {
    ASSERT_NE(channel, nullptr);
    const std::uintptr_t ready = channel->readyHandle();
    EXPECT_FALSE(signalled(ready));
    EXPECT_EQ(text(channel->receive(50)), "");

    serviceWrites("first ");
    serviceWrites("second");
    EXPECT_TRUE(signalled(ready));
    EXPECT_EQ(text(channel->receive(0)), "first second");
    EXPECT_FALSE(signalled(ready));

    // A receive that waits wakes for bytes that come meanwhile.
    std::thread later([this] {
        Sleep(200);
        serviceWrites(std::string(10000, 'x'));
    });
    const std::string received = text(channel->receive(10000));
    later.join();
    EXPECT_EQ(received + text(channel->receive(0)), std::string(10000, 'x'));
    EXPECT_FALSE(signalled(ready));
}

TEST_F(ServiceEnd, whatTheWindowSendsArrivesWholeAndInOrder) {
    ASSERT_NE(channel, nullptr);
    std::string frame(16 * 1024 + 4, '\0');
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<char>(i * 7);
    }
    ASSERT_TRUE(channel->send(std::vector<std::uint8_t>(frame.begin(), frame.end())));
    ASSERT_TRUE(channel->send({'e', 'n', 'd'}));
    EXPECT_EQ(serviceReads(frame.size() + 3), frame + "end");
}

TEST_F(ServiceEnd, aServiceThatGoesAwayLeavesTheHandleSetForGoodAndEveryCallSaysSo) {
    ASSERT_NE(channel, nullptr);
    serviceWrites("last words");
    pipe.reset();
    EXPECT_TRUE(signalled(channel->readyHandle()));
    // What came before the end is still delivered; the end after it.
    EXPECT_EQ(text(channel->receive(1000)), "last words");
    EXPECT_EQ(text(channel->receive(1000)), "(gone)");
    EXPECT_TRUE(signalled(channel->readyHandle()));
    EXPECT_EQ(text(channel->receive(0)), "(gone)");
    EXPECT_FALSE(channel->send({1, 2, 3}));
    EXPECT_TRUE(signalled(channel->readyHandle()));
}

// --- The client's facts, from its token -------------------------------------------------------------

// The process's own membership of a well-known group, as Windows decides it.
bool processIsMember(const wchar_t* sidText) {
    PSID sid = nullptr;
    BOOL member = FALSE;
    const bool asked = ConvertStringSidToSidW(sidText, &sid) && CheckTokenMembership(nullptr, sid, &member);
    LocalFree(sid);
    return asked && member;
}

bool threadHasAToken() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        return false;
    }
    CloseHandle(token);
    return true;
}

TEST_F(ServiceEnd, theClientIsKnownByItsTokenAndTheThreadIsItselfAgainAfterwards) {
    ASSERT_NE(channel, nullptr);
    wchar_t name[256] = {};
    wchar_t domain[256] = {};
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    const UniqueHandle owned(token);
    std::vector<unsigned char> user(256);
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), 256, &size));
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    SID_NAME_USE use;
    ASSERT_TRUE(LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use));
    wchar_t* sidText = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(sid, &sidText));
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));

    const ClientFacts facts = clientFacts(pipe.get(), "");
    EXPECT_EQ(facts.user, narrow(domain) + "\\" + narrow(name));
    EXPECT_EQ(facts.sid, narrow(sidText));
    EXPECT_EQ(facts.session, session);
    EXPECT_EQ(facts.administrator, processIsMember(L"S-1-5-32-544"));
    EXPECT_EQ(facts.interactive, processIsMember(L"S-1-5-4"));
    EXPECT_FALSE(facts.remote);
    EXPECT_FALSE(facts.lowIntegrity);
    EXPECT_FALSE(facts.inAllowedGroup) << "no group named, no member of it";
    EXPECT_FALSE(threadHasAToken());
    LocalFree(sidText);
}

TEST_F(ServiceEnd, theAllowedGroupIsLookedUpInTheClientsToken) {
    ASSERT_NE(channel, nullptr);
    const struct {
        const char* group;
        bool member;
    } rows[] = {
        {"Administrators", processIsMember(L"S-1-5-32-544")},
        {"Users", processIsMember(L"S-1-5-32-545")},
        {"VPN 用户", false},  // no such group here: nobody is a member
    };
    for (const auto& row : rows) {
        EXPECT_EQ(clientFacts(pipe.get(), row.group).inAllowedGroup, row.member) << row.group;
        EXPECT_FALSE(threadHasAToken());
    }
}

}  // namespace
}  // namespace velmora
