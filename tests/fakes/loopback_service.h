// The service in this process: a connector whose channels hand each frame straight to a
// ServiceCore and bring back what it answers and sends, as a pipe would. Closing a channel is the
// client going; breaking it is the service going away under the client.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/service/service_core.h"
#include "platform/service_channel.h"

namespace velmora::testing {

class LoopbackService : public ServiceConnector {
public:
    LoopbackService(ServiceCore& core, ClientFacts facts, AccessPolicy policy = {})
        : core_(core), facts_(std::move(facts)), policy_(std::move(policy)) {}

    std::unique_ptr<ServiceChannel> connect() override {
        if (down) {
            return nullptr;
        }
        ++connections;
        auto channel = std::make_unique<Channel>(*this, core_.connect(facts_, policy_));
        live_ = channel.get();
        return channel;
    }

    // The service goes away: the channel in use answers nothing from now on.
    void breakChannel() {
        if (live_ != nullptr) {
            live_->broken = true;
        }
    }
    // The window goes, however it ends: the service sees its end of the channel close.
    void windowGone() {
        if (live_ != nullptr) {
            live_->broken = true;
            core_.disconnect(live_->client());
        }
    }

    bool down = false;  // no service answers a connect
    int connections = 0;

private:
    class Channel : public ServiceChannel {
    public:
        Channel(LoopbackService& service, ClientId client) : service_(service), client_(client) {}
        ~Channel() override {
            service_.core_.disconnect(client_);
            if (service_.live_ == this) {
                service_.live_ = nullptr;
            }
        }

        bool send(const std::vector<std::uint8_t>& bytes) override {
            if (broken || !reader_.add(bytes.data(), bytes.size())) {
                return false;
            }
            while (const auto frame = reader_.next()) {
                const Bytes reply = service_.core_.receive(client_, *frame);
                waiting_.insert(waiting_.end(), reply.begin(), reply.end());
            }
            return true;
        }
        std::optional<std::vector<std::uint8_t>> receive(std::uint32_t) override {
            if (broken) {
                return std::nullopt;
            }
            service_.collectMail();
            Bytes& mail = service_.mail_[client_];
            waiting_.insert(waiting_.end(), mail.begin(), mail.end());
            mail.clear();
            std::vector<std::uint8_t> bytes;
            bytes.swap(waiting_);
            return bytes;
        }
        std::uintptr_t readyHandle() const override { return 0; }
        ClientId client() const { return client_; }

        bool broken = false;

    private:
        LoopbackService& service_;
        ClientId client_;
        FrameReader reader_;
        std::vector<std::uint8_t> waiting_;
    };

    // What the core sends, kept for each client until its channel looks.
    void collectMail() {
        for (const Outgoing& out : core_.poll()) {
            mail_[out.client].insert(mail_[out.client].end(), out.frame.begin(), out.frame.end());
        }
    }

    ServiceCore& core_;
    ClientFacts facts_;
    AccessPolicy policy_;
    Channel* live_ = nullptr;
    std::map<ClientId, Bytes> mail_;
};

}  // namespace velmora::testing
