// What the program knows of its link at this moment, for the tray icon to show: up or down as
// the last link query found it, a dial or a policy change under way, how many automatic
// redials in a row have left it down, and what is to be said of the IPsec policy. Learnt only
// from what the program does anyway (its link queries, its dials, its policy pairs); every
// change is told to the one listener.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace velmora {

class LinkStatus {
public:
    enum class Work { dialling, applyingPolicy };
    // What the tray says of the IPsec policy besides the link.
    enum class Policy {
        nothingToSay,   // in force for the link, or no IPsec session
        notInForce,     // not set for the link: it failed, or the link's address is unknown
        domainApplies,  // the computer's domain policy overrides the program's
        notWithdrawn,   // a withdrawal failed: the program's policy may still be assigned
    };

    // Marks a dial or a policy change as under way for as long as it lives.
    class Working {
    public:
        Working(LinkStatus& status, Work work) : status_(status) { status_.workBegins(work); }
        ~Working() { status_.workEnds(); }
        Working(const Working&) = delete;
        Working& operator=(const Working&) = delete;

    private:
        LinkStatus& status_;
    };

    void setListener(std::function<void()> listener) { listener_ = std::move(listener); }

    // A link query's answer. A link seen up ends any run of failed redials.
    void linkSeen(bool up);
    // An automatic redial left the link down; one that did not, or the user's own dial, ends
    // the run.
    void autoDialFailed();
    void autoDialRunEnds();
    void setPolicy(Policy policy);

    bool up() const { return up_; }
    // The innermost work under way, if any.
    std::optional<Work> work() const { return works_.empty() ? std::nullopt : std::optional<Work>(works_.back()); }
    int autoDialFailures() const { return autoDialFailures_; }
    Policy policy() const { return policy_; }

private:
    void workBegins(Work work);
    void workEnds();
    void changed() const;

    std::function<void()> listener_;
    bool up_ = false;
    std::vector<Work> works_;
    int autoDialFailures_ = 0;
    Policy policy_ = Policy::nothingToSay;
};

}  // namespace velmora
