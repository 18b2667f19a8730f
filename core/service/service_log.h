// The service's own log: whom it served and what it did for them, one line per event with the
// local date and time. It names the user of every operation and never a secret: no method takes a
// password or a key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/service/client_decision.h"
#include "platform/clock.h"
#include "platform/log_file.h"

namespace velmora {

class ServiceLog {
public:
    ServiceLog(LogFile& file, Clock& clock) : file_(file), clock_(clock) {}

    void serviceStarted(const std::string& version, const std::string& ipsecTool);
    void serviceStopping(bool shutDown);
    void clientConnected(const ClientFacts& facts, const ClientDecision& decision);
    void clientGone(const std::string& user);
    // What the service did for the user, in a few words ("拨号：服务器 vpn.example.com，电话簿 ...").
    void operation(const std::string& user, const std::string& what);
    void refused(const std::string& user, const std::string& what, const std::string& why);
    // A request that could not be read; a stream that broke its framing ends the client.
    void malformed(const std::string& user, bool clientEnded);
    // What the clean-up after a client took back.
    void tookBack(const std::string& user, const std::string& what);
    void cleanedUp(const std::string& user);

private:
    void write(const std::string& event);

    LogFile& file_;
    Clock& clock_;
};

}  // namespace velmora
