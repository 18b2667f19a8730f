// Processes in memory: records each start; a test can act out what the child does, what it
// exits with, and hold a dial open until something ends it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace velmora::testing {

// A started program. A tool has ended by the time anyone looks, unless it hangs; a dial (an
// rasdial line) ends when the event loop's wait comes to it, unless it is held open.
class FakeRunningProgram : public RunningProgram {
public:
    FakeRunningProgram(std::function<void()> onEnd, std::uint32_t status, bool held, int* terminations)
        : onEnd_(std::move(onEnd)), status_(status), held_(held), terminations_(terminations) {}

    std::uintptr_t waitHandle() const override { return 0; }
    std::optional<std::uint32_t> exitStatus() override {
        return ended_ ? std::optional<std::uint32_t>(status_) : std::nullopt;
    }
    void terminate() override {
        if (!ended_) {
            ended_ = true;
            ++*terminations_;
            status_ = 1223;  // ERROR_CANCELLED
        }
    }

    // Ends a program, held open or not, with the given status, as the child would by itself.
    void endWith(std::uint32_t status) {
        if (!ended_) {
            ended_ = true;
            status_ = status;
        }
    }

    // Lets a program that is not held open run to its end.
    void runToEnd() {
        if (!ended_ && !held_) {
            ended_ = true;
            if (onEnd_) {
                onEnd_();
            }
        }
    }

private:
    std::function<void()> onEnd_;
    std::uint32_t status_;
    bool held_;
    int* terminations_;
    bool ended_ = false;
};

class FakeProcesses : public Processes {
public:
    std::unique_ptr<RunningProgram> start(const std::string& program, const std::string& commandLine,
                                          Window window) override {
        programs.push_back(program);
        if (commandLine.rfind("rasdial ", 0) == 0) {
            dialWindows.push_back(window);
        } else if (window == Window::shown) {
            shown.push_back(commandLine);
            return shownFails ? nullptr : std::make_unique<FakeRunningProgram>(nullptr, 0, false, &terminations);
        } else {
            started.push_back(commandLine);
            const std::optional<std::uint32_t> status = statusOf ? statusOf(commandLine) : 0u;
            if (!status) {
                return nullptr;
            }
            const bool hung = hangs && hangs(commandLine);
            auto child = std::make_unique<FakeRunningProgram>(nullptr, *status, hung, &terminations);
            child->runToEnd();
            return child;
        }
        waited.push_back(commandLine);
        if (!exitStatus) {
            return nullptr;
        }
        auto child = std::make_unique<FakeRunningProgram>(
            [this, commandLine] {
                if (onRun) {
                    onRun(commandLine);
                }
            },
            *exitStatus, holdDials, &terminations);
        lastShown = child.get();
        return child;
    }

    std::vector<std::string> shown;     // programs other than a dial started with their window
    bool shownFails = false;
    std::vector<std::string> waited;    // the dials, in order
    std::vector<std::string> started;   // the other programs started hidden, in order
    std::vector<std::string> programs;  // the program file of every start, in order
    std::vector<Window> dialWindows;     // how each dial was started, in order
    // Runs when a dial ends by itself, as the child would: e.g. bring a connection up.
    std::function<void(const std::string&)> onRun;
    // What a dial exits with; nothing for one that cannot start.
    std::optional<std::uint32_t> exitStatus = 0u;
    // What a hidden program exits with, by its command line; nothing for one that cannot start.
    // Unset: every one exits with 0.
    std::function<std::optional<std::uint32_t>(const std::string&)> statusOf;
    // Dials run until terminated.
    bool holdDials = false;
    // Hidden programs whose command line this matches run until terminated (a tool that hangs).
    std::function<bool(const std::string&)> hangs;
    // The last dial started, while its starter keeps it.
    FakeRunningProgram* lastShown = nullptr;
    // Programs ended by terminate.
    int terminations = 0;
};

}  // namespace velmora::testing
