// The window's side of the service: each operation and each question about the link becomes a
// request on the channel, and a run the service started is a program the window waits on as on
// its own. Replies come within moments: a request is waited for without letting window messages
// in, so that asking about the link opens no door for a click. Where the service is gone, the
// channel is made anew at the next request; what it was running counts as ended.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/service/client_decision.h"
#include "core/service/operations.h"
#include "core/service/service_protocol.h"
#include "platform/remote_access.h"
#include "platform/service_channel.h"

namespace velmora {

// The exit status of a run whose service went away before it ended (ERROR_BROKEN_PIPE).
inline constexpr std::uint32_t kServiceGoneStatus = 109;
// How long a reply may take before the service counts as gone.
inline constexpr std::uint32_t kReplyWaitMs = 10000;

class ServiceClient : public Operations, public RemoteAccess {
public:
    // local answers what needs no service: the phonebook's entries and the errors' descriptions.
    ServiceClient(ServiceConnector& connector, RemoteAccess& local) : connector_(connector), local_(local) {}

    // Connects and greets the service: whether it serves this program's user (and why not);
    // nothing when no service answers.
    std::optional<ClientDecision> hello();

    // Operations
    SwitchChange setL2tpSwitch() override;
    void nameIpsecLibrary() override;
    Started startPolicyRun(const PolicyRun& run) override;
    DialStarted startDial(const DialRequest& dial) override;
    bool addRoute(const Route& route) override;
    std::optional<std::vector<std::string>> oldSettings(char drive) override;
    void removeOldSettings(char drive) override;
    bool removeOldLogonTask() override;

    // RemoteAccess: the connections as the service sees them.
    ConnectionList activeConnections() override;
    std::vector<std::string> phonebookEntries() override { return local_.phonebookEntries(); }
    void hangUp(RasHandle handle) override;
    std::string connectionAddress(RasHandle handle) override;
    ConnectionStatistics connectionStatistics(RasHandle handle) override;
    GoneAnswer connectionGone(RasHandle handle) override;
    ConnectedAnswer connectionConnected(RasHandle handle) override;
    std::string errorText(std::uint32_t code) override { return local_.errorText(code); }

private:
    class Program;
    // A run of the service's, as this channel's number for it.
    struct RunKey {
        unsigned channel;
        std::uint32_t run;
    };

    // The reply to the request; nothing when the service is gone or did not answer in time. A
    // refused request's reply is passed on as it is.
    std::optional<Message> call(const Request& request);
    // Takes in whatever has arrived within the milliseconds: how many bytes came; nothing once the
    // channel is gone.
    std::optional<std::size_t> takeIn(std::uint32_t milliseconds);
    void channelGone();
    // The exit status of the run once it ended; kServiceGoneStatus once its channel is gone.
    std::optional<std::uint32_t> runStatus(const RunKey& key);
    void endRun(const RunKey& key);
    std::unique_ptr<RunningProgram> program(std::uint32_t run);

    ServiceConnector& connector_;
    RemoteAccess& local_;
    std::unique_ptr<ServiceChannel> channel_;
    // Channels gone, kept so that a wait that still holds one's handle never waits on a closed one.
    std::vector<std::unique_ptr<ServiceChannel>> retired_;
    unsigned channelNumber_ = 0;  // counts the channels made
    FrameReader reader_;
    std::uint32_t nextId_ = 1;
    std::map<std::uint32_t, Message> replies_;    // by request, until their caller takes them
    std::map<std::uint32_t, std::uint32_t> ended_;  // this channel's runs that ended, with their status
};

}  // namespace velmora
