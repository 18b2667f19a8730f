// What the program knows of its link at this moment, for the tray icon to show: up or down as
// the last link query found it, a dial or a policy change under way, how many automatic
// redials in a row have left it down, and whether the IPsec policy failed to be set for it. Learnt only from what the program does anyway (its link
// queries, its dials, its policy pairs); every change is told to the one listener.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace velmora {

class LinkStatus {
public:
    enum class Work { dialling, applyingPolicy };

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
    // The IPsec policy could not be set for the link (true), or was set or withdrawn (false).
    void setPolicyFailed(bool failed);

    bool up() const { return up_; }
    // The innermost work under way, if any.
    std::optional<Work> work() const { return works_.empty() ? std::nullopt : std::optional<Work>(works_.back()); }
    int autoDialFailures() const { return autoDialFailures_; }
    bool policyFailed() const { return policyFailed_; }

private:
    void workBegins(Work work);
    void workEnds();
    void changed() const;

    std::function<void()> listener_;
    bool up_ = false;
    std::vector<Work> works_;
    int autoDialFailures_ = 0;
    bool policyFailed_ = false;
};

}  // namespace velmora
