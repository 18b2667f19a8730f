#include "tests/simulation/session_simulation.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "core/profile/conn_profile.h"
#include "core/system/general.h"
#include "core/system/script_command.h"
#include "tests/fakes/fake_ansi_codec.h"
#include "tests/fakes/fake_control_surface.h"
#include "tests/fakes/fake_file_operations.h"
#include "tests/fakes/fake_form_host.h"
#include "tests/fakes/fake_ip_helper.h"
#include "tests/fakes/fake_log.h"
#include "tests/fakes/fake_management_service.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_remote_access.h"
#include "tests/fakes/fake_shell_folders.h"
#include "tests/fakes/fake_text_files.h"
#include "tests/fakes/fake_windows_version.h"
#include "ui/form1.h"
#include "ui/layout.h"

namespace velmora::simulation {

const char* invariantName(Invariant invariant) {
    switch (invariant) {
    case Invariant::oneDialAtATime: return "oneDialAtATime";
    case Invariant::noDialAfterStop: return "noDialAfterStop";
    case Invariant::cleanAfterEnd: return "cleanAfterEnd";
    case Invariant::policyForTheLinksAddress: return "policyForTheLinksAddress";
    case Invariant::statusTellsTheTruth: return "statusTellsTheTruth";
    case Invariant::failuresTold: return "failuresTold";
    case Invariant::scriptCodesTrue: return "scriptCodesTrue";
    case Invariant::commandsEnd: return "commandsEnd";
    case Invariant::noBoxForNobody: return "noBoxForNobody";
    case Invariant::stopReachable: return "stopReachable";
    case Invariant::goodLinkKept: return "goodLinkKept";
    }
    return "?";
}

namespace {

// How deep events run inside the waits of others.
constexpr int kMaxDepth = 3;
// More waits than this in one event at the top is a program that does not end.
constexpr long kMaxWaitsPerEvent = 5000;
// No command, with everything that runs inside it, takes longer than this (boxes take no time).
constexpr std::uint64_t kCommandBoundMs = 30 * 60 * 1000;
// A dial that hangs gives up by itself after this many looks, as rasdial does.
constexpr int kDialGivesUpAfter = 40;

const char* const kAddresses[] = {"10.10.10.4", "10.10.10.5"};
const char* const kSavedAddress = "10.10.10.4";
constexpr std::uint32_t kCancelled = 1223;

// A program of the simulated computer: it ends after a number of looks, or hangs until ended.
struct ProgramState {
    std::string what;
    int looksLeft = 0;
    bool hung = false;
    bool dial = false;
    bool ended = false;
    std::uint32_t status = 0;
    std::function<void()> effect;  // what it does when it ends by itself with status 0
};

class SimulatedProgram : public RunningProgram {
public:
    explicit SimulatedProgram(std::shared_ptr<ProgramState> state) : state_(std::move(state)) {}
    std::uintptr_t waitHandle() const override { return 0; }
    std::optional<std::uint32_t> exitStatus() override {
        return state_->ended ? std::optional<std::uint32_t>(state_->status) : std::nullopt;
    }
    void terminate() override {
        if (!state_->ended) {
            state_->ended = true;
            state_->status = kCancelled;
        }
    }

private:
    std::shared_ptr<ProgramState> state_;
};

// The kinds of event, each delivered where the real window would deliver it.
enum class Kind {
    connectButton, stopButton, dialButton, editField, closeBox,
    trayConnect, trayStop, trayDial, trayStatus, trayLog, trayLogon, trayRestore, trayExit, trayDoubleClick,
    scriptConnect, scriptDisconnect, scriptStatus, scriptExit,
    linkWatchTick, autoDialTick, resume, addressesChanged, sessionEnds,
    linkDrops, addressGoes, linkReturns, addressTableFails, statusUnanswered,
};

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::connectButton: return "连接 (button)";
    case Kind::stopButton: return "停止 (button)";
    case Kind::dialButton: return "重新连接 (button)";
    case Kind::editField: return "edit a field";
    case Kind::closeBox: return "close box";
    case Kind::trayConnect: return "tray 连接";
    case Kind::trayStop: return "tray 停止";
    case Kind::trayDial: return "tray 重新连接";
    case Kind::trayStatus: return "tray 连接状态";
    case Kind::trayLog: return "tray 查看日志";
    case Kind::trayLogon: return "tray 登录时启动";
    case Kind::trayRestore: return "tray 恢复";
    case Kind::trayExit: return "tray 退出";
    case Kind::trayDoubleClick: return "tray double-click";
    case Kind::scriptConnect: return "script /connect";
    case Kind::scriptDisconnect: return "script /disconnect";
    case Kind::scriptStatus: return "script /status";
    case Kind::scriptExit: return "script /exit";
    case Kind::linkWatchTick: return "tick: link watch";
    case Kind::autoDialTick: return "tick: auto-dial";
    case Kind::resume: return "resume from sleep";
    case Kind::addressesChanged: return "addresses changed";
    case Kind::sessionEnds: return "Windows session ends";
    case Kind::linkDrops: return "world: the link drops";
    case Kind::addressGoes: return "world: the link's address goes";
    case Kind::linkReturns: return "world: the link comes back by itself";
    case Kind::addressTableFails: return "world: the address table cannot be read for a while";
    case Kind::statusUnanswered: return "world: the service cannot tell the link's status for a while";
    }
    return "?";
}

// What a user reaches with the window and the tray free; a box open takes every click and key.
// The program's end is drawn apart, more rarely, so that a run has time to get somewhere first.
constexpr Kind kFreeKinds[] = {
    Kind::connectButton, Kind::stopButton, Kind::dialButton, Kind::editField,
    Kind::trayConnect, Kind::trayStop, Kind::trayDial, Kind::trayStatus, Kind::trayLog, Kind::trayLogon,
    Kind::trayRestore, Kind::trayDoubleClick,
    Kind::scriptConnect, Kind::scriptDisconnect, Kind::scriptStatus,
    Kind::linkWatchTick, Kind::autoDialTick, Kind::linkWatchTick, Kind::autoDialTick,
    Kind::resume, Kind::addressesChanged, Kind::linkDrops, Kind::addressGoes, Kind::linkReturns,
    Kind::addressTableFails, Kind::statusUnanswered,
};
constexpr Kind kFreeEnds[] = {Kind::closeBox, Kind::trayExit, Kind::scriptExit, Kind::sessionEnds};
// What still arrives while a box is open: its own modal loop dispatches them.
constexpr Kind kUnderBoxKinds[] = {
    Kind::scriptConnect, Kind::scriptDisconnect, Kind::scriptStatus,
    Kind::linkWatchTick, Kind::autoDialTick, Kind::resume, Kind::addressesChanged,
    Kind::linkDrops, Kind::addressGoes, Kind::linkReturns, Kind::addressTableFails, Kind::statusUnanswered,
};
constexpr Kind kUnderBoxEnds[] = {Kind::scriptExit, Kind::sessionEnds};

bool isScript(Kind kind) {
    return kind == Kind::scriptConnect || kind == Kind::scriptDisconnect || kind == Kind::scriptStatus ||
           kind == Kind::scriptExit;
}

bool asksForADial(Kind kind) {
    return kind == Kind::connectButton || kind == Kind::trayConnect || kind == Kind::scriptConnect ||
           kind == Kind::dialButton || kind == Kind::trayDial;
}

bool asksToStop(Kind kind) {
    return kind == Kind::stopButton || kind == Kind::trayStop || kind == Kind::scriptDisconnect ||
           kind == Kind::trayExit || kind == Kind::scriptExit || kind == Kind::closeBox || kind == Kind::sessionEnds;
}

struct Link {
    RasHandle handle = 0;
    std::string address;
    bool addressGiven = true;  // the service tells the address
    bool tunnelGone = false;   // listed, but its address has left the host
    int listedBefore = 0;      // the service's lists given out before it came up
};

struct Failure {
    Violation violation;
};
// Windows ends the process as soon as the end of its session has been handled: nothing beneath
// resumes.
struct ProcessEnded {};

class Session;

class SimulatedLoop : public EventLoop {
public:
    explicit SimulatedLoop(Session& session) : session_(session) {}
    void delay(int seconds) override;
    void pause(std::uint32_t milliseconds) override;
    std::optional<std::uint32_t> waitFor(RunningProgram& program) override;
    std::optional<std::uint32_t> waitAtMost(RunningProgram& program, std::uint32_t milliseconds) override;

private:
    Session& session_;
};

class SimulatedOperations : public Operations {
public:
    explicit SimulatedOperations(Session& session) : session_(session) {}
    SwitchChange setL2tpSwitch() override { return SwitchChange::alreadySet; }
    void nameIpsecLibrary() override {}
    Started startPolicyRun(const PolicyRun& run) override;
    DialStarted startDial(const DialRequest& dial) override;
    bool addRoute(const Route& route) override;
    std::optional<std::vector<std::string>> oldSettings(char) override { return std::nullopt; }
    void removeOldSettings(char) override {}
    bool removeOldLogonTask() override { return false; }

private:
    Session& session_;
};

// The window's controls; minimising goes through the window's resize, as the real one does.
class SimulatedSurface : public testing::FakeControlSurface {
public:
    void setWindowState(WindowState state) override {
        const bool changed = state != windowState();
        FakeControlSurface::setWindowState(state);
        if (changed && onResize) {
            onResize();
        }
    }
    std::function<void()> onResize;
};

// The real window's host: its unload runs the form's unload, its end closes every box.
class SimulatedHost : public testing::FakeFormHost {
public:
    void showWindow(bool visible) override { shown = visible; }
    void sendRestore() override {
        if (onRestore) {
            onRestore();
        }
    }
    void unload() override {
        if (onUnload) {
            onUnload(UnloadMode::byProgram);
        }
    }
    void endProgram() override { ended = true; }
    void trayBalloon(const std::string& text, bool warning) override {
        ++balloons;
        FakeFormHost::trayBalloon(text, warning);
    }
    bool shown = true;
    bool ended = false;
    int balloons = 0;
    std::function<void()> onRestore;
    std::function<void(UnloadMode)> onUnload;
};

class Session {
public:
    Session(ChoiceTape& tape, RunResult& result) : tape_(tape), result_(result) {
        ipsec_ = tape_.draw(3) != 2;  // two in three profiles are IPsec ones
        l2tp_ = ipsec_ || tape_.oneIn(2);
        autoDial_ = tape_.oneIn(2);
        vista_ = tape_.oneIn(2);
        registry_.setDword(kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\RasMan\\Parameters",
                           "ProhibitIpsec", 1);
        version_.record = vista_ ? VersionRecord{6, 1, "Service Pack 1", 7601} : VersionRecord{5, 1, "Service Pack 3", 2600};
        ip_.add("192.0.2.7");
        storeSettings();
        ras_.onHangUp = [this](RasHandle handle) {
            if (link_ && link_->handle == handle) {
                check(link_->tunnelGone || stopAsked(), Invariant::goodLinkKept,
                      "link " + std::to_string(handle) + " hung up with its tunnel working");
                removeLinkTraces();
            }
        };
        surface_.duringMessage = [this](const std::string& text) { box(text); };
        surface_.onResize = [this] { form_.Form_Resize(); };
        host_.onRestore = [this] {
            if (surface_.windowState() == WindowState::minimised) {
                surface_.setWindowState(WindowState::normal);
            } else {
                host_.showWindow(true);
            }
        };
        host_.onUnload = [this](UnloadMode mode) { unload(mode); };
        step(std::string("profile: ") + (ipsec_ ? "L2TP/IPsec" : l2tp_ ? "L2TP" : "PPTP") +
             (autoDial_ ? ", auto-dial" : "") + (vista_ ? ", Windows 7" : ", Windows XP"));
    }

    void run(int topEvents) {
        form_.Form_Load();
        if (!host_.ended) {
            form_.Form_Activate();
        }
        try {
            for (int i = 0; i < topEvents && !programGone() && !tape_.runOut(); ++i) {
                waitsThisEvent_ = 0;
                startMs_ = nowMs_;
                linkAtStart_ = link_ ? link_->handle : 0;
                deliver(false);
                checkAfterEvent();
            }
        } catch (const ProcessEnded&) {
            step("the process is ended by Windows");
        }
        if (unloadFinished_) {
            finishWorld();
            checkClean();
        }
    }

    // The world's side of the operations.
    Started startPolicyRun(const PolicyRun& run);
    DialStarted startDial(const DialRequest& request);
    bool addRoute(const Route& route) {
        if (link_ && route.gateway == link_->address && std::none_of(routes_.begin(), routes_.end(), [&](const Route& r) {
                return r.network == route.network && r.gateway == route.gateway;
            })) {
            routes_.push_back(route);
        }
        return true;
    }

    // The event loop's waits.
    void wait(std::uint32_t milliseconds) {
        waitPoint(false);
        elapse(milliseconds);
    }
    std::optional<std::uint32_t> waitUntilEnded(RunningProgram& program, std::optional<std::uint32_t> limit) {
        std::uint32_t waited = 0;
        while (!program.exitStatus()) {
            if (limit && waited >= *limit) {
                break;
            }
            const std::uint32_t slice = limit ? std::min<std::uint32_t>(*limit - waited, 1000) : 1000;
            waitPoint(false);
            elapse(slice);
            waited += slice;
        }
        return program.exitStatus();
    }

private:
    struct Frame {
        Kind kind;
    };

    void step(const std::string& what) {
        result_.steps.push_back(std::string(static_cast<std::size_t>(depth_) * 2, ' ') + what);
    }

    [[noreturn]] void fail(Invariant invariant, const std::string& detail) {
        step("VIOLATED " + std::string(invariantName(invariant)) + ": " + detail);
        throw Failure{{invariant, detail}};
    }
    void check(bool holds, Invariant invariant, const std::string& detail) {
        ++result_.checks;
        if (!holds) {
            fail(invariant, detail);
        }
    }

    bool programGone() const { return host_.ended || unloadFinished_; }

    void storeSettings() {
        testing::FakeControlSurface saved;
        saved.setText(Control::comalg, "ESP-3DES-SHA");
        saved.setText(Control::txtpreshare, "sharedkey");
        saved.setText(Control::txtServerAddress, "vpn.example.com");
        saved.setText(Control::txtUserName, "alice");
        saved.setText(Control::txtPasswd, "secret");
        saved.setText(Control::txtpeer, "10.8.0.0");
        saved.setText(Control::txtpeermask, "255.255.0.0");
        saved.setText(Control::txtlocal, kSavedAddress);
        saved.setValue(Control::Option1, l2tp_ ? kProtocolL2tp : kProtocolPptp);
        saved.setValue(Control::Check1, ipsec_ ? kChecked : kUnchecked);
        saved.setValue(Control::Check3, autoDial_ ? kChecked : kUnchecked);
        testing::MemoryLog unused;
        SettingsFile(saved, shell_, files_, codec_, unused.log).writeConfig();
    }

    // Time passes: each program of the computer takes a step towards its end.
    void elapse(std::uint32_t milliseconds) {
        nowMs_ += milliseconds;
        if (nowMs_ >= tableFailsUntilMs_) {
            ip_.table.status = AddressTableStatus::ok;
        }
        if (nowMs_ >= statusUnansweredUntilMs_) {
            ras_.unanswered.clear();
        }
        log_.clock.ticks = static_cast<std::uint32_t>(nowMs_);
        check(nowMs_ - startMs_ <= kCommandBoundMs, Invariant::commandsEnd,
              "an event has run for " + std::to_string((nowMs_ - startMs_) / 1000) + " s");
        for (std::size_t i = 0; i < programs_.size(); ++i) {
            const std::shared_ptr<ProgramState> program = programs_[i];
            if (program->ended) {
                continue;
            }
            if (program->looksLeft > 0) {
                --program->looksLeft;
            } else if (!program->hung) {
                program->ended = true;
                step("world: " + program->what + " ends with " + std::to_string(program->status));
                if (program->status == 0 && program->effect) {
                    program->effect();
                }
            }
        }
        programs_.erase(std::remove_if(programs_.begin(), programs_.end(),
                                       [](const std::shared_ptr<ProgramState>& p) { return p->ended; }),
                        programs_.end());
    }

    // A wait of the program's: something may arrive inside it.
    void waitPoint(bool inBox) {
        check(++waitsThisEvent_ <= kMaxWaitsPerEvent, Invariant::commandsEnd, "an event waits without end");
        if (depth_ < kMaxDepth && !programGone() && tape_.draw(4) == 3) {
            deliver(inBox);
        }
    }

    void box(const std::string& text) {
        check(frames_.empty() || !isScript(frames_.back().kind), Invariant::noBoxForNobody,
              "a box for " + std::string(kindName(frames_.back().kind)) + ": " + text);
        step("box: " + text.substr(0, 60));
        ++boxesOpen_;
        // Answered at a random moment: things may arrive first.
        while (!boxesClosed_ && tape_.draw(3) == 2) {
            waitPoint(true);
        }
        if (!boxesClosed_) {
            waitPoint(true);
        }
        --boxesOpen_;
        step(boxesClosed_ ? "box closed by the program's end" : "box answered");
    }

    void deliver(bool underBox) {
        const bool boxed = underBox || boxesOpen_ > 0;
        const bool ends = tape_.oneIn(30);
        const Kind kind = boxed ? (ends ? kUnderBoxEnds[tape_.draw(std::size(kUnderBoxEnds))]
                                        : kUnderBoxKinds[tape_.draw(std::size(kUnderBoxKinds))])
                                : (ends ? kFreeEnds[tape_.draw(std::size(kFreeEnds))]
                                        : kFreeKinds[tape_.draw(std::size(kFreeKinds))]);
        ++result_.events;
        step(kindName(kind));
        if (asksToStop(kind) && stopsNow(kind)) {
            stopped_ = true;
        }
        if (asksForADial(kind) && dialAskedNow(kind)) {
            stopped_ = false;
        }
        frames_.push_back({kind});
        ++depth_;
        try {
            act(kind);
        } catch (...) {
            --depth_;
            frames_.pop_back();
            throw;
        }
        --depth_;
        frames_.pop_back();
    }

    bool usable(Control control) const { return surface_.enabled(control) && surface_.visible(control); }
    // A field the user can reach: usable, in a frame that shows.
    bool reachable(Control control) const {
        const std::optional<Control> frame = layoutItem(control).container;
        return usable(control) && (!frame || surface_.visible(*frame));
    }
    bool windowShown() const { return host_.shown && surface_.windowState() != WindowState::minimised; }

    // Whether the Stop asked for is one the program takes: a button only when it can be clicked.
    bool stopsNow(Kind kind) const {
        switch (kind) {
        case Kind::stopButton: return windowShown() && usable(Control::Command2);
        case Kind::trayStop:
        case Kind::scriptDisconnect: return usable(Control::menuOff);
        case Kind::closeBox: return windowShown();
        default: return true;
        }
    }
    bool dialAskedNow(Kind kind) const {
        switch (kind) {
        case Kind::connectButton: return windowShown() && usable(Control::Command1);
        case Kind::dialButton: return windowShown() && usable(Control::Command3);
        case Kind::trayConnect:
        case Kind::scriptConnect: return usable(Control::menuOn);
        case Kind::trayDial: return usable(Control::menuL2tp);
        default: return false;
        }
    }

    void act(Kind kind) {
        switch (kind) {
        case Kind::connectButton:
            if (windowShown() && usable(Control::Command1)) form_.Command1_Click();
            break;
        case Kind::stopButton:
            if (windowShown() && usable(Control::Command2)) form_.Command2_Click();
            break;
        case Kind::dialButton:
            if (windowShown() && usable(Control::Command3)) form_.Command3_Click();
            break;
        case Kind::editField: editField(); break;
        case Kind::closeBox:
            if (windowShown()) unload(UnloadMode::windowClosed);
            break;
        case Kind::trayConnect: form_.trayMenu_Opening(); form_.menuOn_Click(); break;
        case Kind::trayStop: form_.trayMenu_Opening(); form_.menuOff_Click(); break;
        case Kind::trayDial: form_.trayMenu_Opening(); form_.menuL2tp_Click(); break;
        case Kind::trayStatus: form_.trayMenu_Opening(); form_.mnuTrayStatus_Click(); break;
        case Kind::trayLog: form_.trayMenu_Opening(); form_.mnuTrayLog_Click(); break;
        case Kind::trayLogon: form_.trayMenu_Opening(); form_.mnuTrayLogon_Click(); break;
        case Kind::trayRestore: form_.trayMenu_Opening(); form_.mnuTrayRestore_Click(); break;
        case Kind::trayExit: form_.trayMenu_Opening(); form_.mnuTrayClose_Click(); break;
        case Kind::trayDoubleClick: form_.trayIcon_DblClick(); break;
        case Kind::scriptConnect: script(ScriptVerb::connect); break;
        case Kind::scriptDisconnect: script(ScriptVerb::disconnect); break;
        case Kind::scriptStatus: script(ScriptVerb::status); break;
        case Kind::scriptExit: script(ScriptVerb::exit); break;
        case Kind::linkWatchTick:
            if (surface_.enabled(Control::Timer1)) {
                elapse(5000);
                form_.Timer1_Timer();
                afterLinkWatch();
            }
            break;
        case Kind::autoDialTick:
            if (surface_.enabled(Control::Timer2) && surface_.value(Control::Check3) == kChecked) {
                form_.Timer2_Timer();
            }
            break;
        case Kind::resume: form_.systemResumed(); break;
        case Kind::addressesChanged: form_.addressesChanged(); break;
        case Kind::sessionEnds:
            if (unloading_) {
                form_.Form_EndSession();
            } else {
                unload(UnloadMode::sessionEnding);
            }
            unloadFinished_ = true;
            throw ProcessEnded{};
        case Kind::linkDrops: linkDrops(); break;
        case Kind::addressGoes:
            if (link_) {
                removeAddress(link_->address);
                link_->tunnelGone = true;
                step("  the tunnel is gone; the connection is still listed");
            }
            break;
        case Kind::linkReturns:
            // As Windows redials a link that failed, never one that was hung up.
            if (!link_ && droppedByWorld_ && !dialRunning() && !unloading_) {
                bringLinkUp();
            }
            break;
        case Kind::addressTableFails:
            ip_.table.status = AddressTableStatus::readFailed;
            tableFailsUntilMs_ = nowMs_ + 10000;
            break;
        case Kind::statusUnanswered:
            if (link_) {
                ras_.unanswered.insert(link_->handle);
                statusUnansweredUntilMs_ = nowMs_ + 10000;
            }
            break;
        }
    }

    void editField() {
        static const Control fields[] = {Control::txtServerAddress, Control::txtPasswd, Control::txtpeer,
                                         Control::txtlocal, Control::txtpreshare};
        static const char* const values[] = {"", "10.8.0.0", "10.10.10.5", "vpn2.example.com", "x"};
        const Control field = fields[tape_.draw(std::size(fields))];
        const char* value = values[tape_.draw(std::size(values))];
        if (windowShown() && reachable(field)) {
            surface_.setText(field, value);
            step(std::string("  field set to \"") + value + "\"");
        }
    }

    void unload(UnloadMode mode) {
        if (unloading_) {
            return;
        }
        unloading_ = true;
        form_.Form_QueryUnload(mode);
        form_.Form_Unload();
        unloadFinished_ = true;
        boxesClosed_ = true;
    }

    void script(ScriptVerb verb) {
        const bool dialBefore = dialRunning() || commandUnderWay();
        const std::size_t logBefore = log_.file.lines.size();
        const int code = form_.scriptCommand(verb);
        step("  exit code " + std::to_string(code));
        const bool up = link_.has_value();
        const bool refusedByCheck =
            std::any_of(log_.file.lines.begin() + static_cast<std::ptrdiff_t>(logBefore), log_.file.lines.end(),
                        [](const std::string& line) { return line.find("连接未进行") != std::string::npos; });
        switch (verb) {
        case ScriptVerb::connect:
            if (code == script_exit::done) {
                check(up, Invariant::scriptCodesTrue, "/connect answered 0 with the link down");
                check(!ipsec_ || policyInForceFor(link_->address), Invariant::scriptCodesTrue,
                      "/connect answered 0 without the policy for the link's address");
            }
            if (code == script_exit::dialling) {
                check(dialBefore, Invariant::scriptCodesTrue, "/connect answered 2 with no dial under way");
            }
            if (refusedByCheck) {
                check(code == script_exit::refused || code == script_exit::notTaken, Invariant::scriptCodesTrue,
                      "/connect refused by a check answered " + std::to_string(code));
            }
            // With IPsec, 5 may also mean a policy that the program has still to apply anew for a
            // link that came back: only a plain link is wholly known here.
            if (code == script_exit::notAsAsked && !ipsec_) {
                check(!up || frames_.size() > 1, Invariant::scriptCodesTrue, "/connect answered 5 with the link up");
            }
            break;
        case ScriptVerb::disconnect:
            if (code == script_exit::done) {
                check(!up, Invariant::scriptCodesTrue, "/disconnect answered 0 with the link up");
            }
            break;
        case ScriptVerb::status:
            if (code == script_exit::done || code == script_exit::notConnected) {
                check(up == (code == script_exit::done), Invariant::scriptCodesTrue,
                      "/status answered " + std::to_string(code) + " with the link " + (up ? "up" : "down"));
            }
            break;
        case ScriptVerb::exit:
            if (code == script_exit::done) {
                check(unloadFinished_ && (boxesOpen_ == 0 || boxesClosed_), Invariant::scriptCodesTrue,
                      "/exit answered 0 while the program goes on");
            }
            break;
        default: break;
        }
    }

    bool commandUnderWay() const {
        return std::any_of(frames_.begin(), frames_.end() - 1, [](const Frame& f) {
            return asksForADial(f.kind) || f.kind == Kind::autoDialTick || f.kind == Kind::linkWatchTick ||
                   f.kind == Kind::resume || f.kind == Kind::addressesChanged;
        });
    }

    bool stopAsked() const {
        return std::any_of(frames_.begin(), frames_.end(), [](const Frame& f) { return asksToStop(f.kind); });
    }

    bool dialRunning() const {
        return std::any_of(programs_.begin(), programs_.end(),
                           [](const std::shared_ptr<ProgramState>& p) { return p->dial && !p->ended; });
    }

    bool policyInForceFor(const std::string& address) const {
        return rules_[0] == address && rules_[1] == address;
    }

    void removeAddress(const std::string& address) {
        auto& table = ip_.table.addresses;
        testing::FakeIpHelper parsed;
        parsed.add(address);
        table.erase(std::remove(table.begin(), table.end(), parsed.table.addresses.front()), table.end());
    }

    void removeLinkTraces() {
        removeAddress(link_->address);
        routes_.erase(std::remove_if(routes_.begin(), routes_.end(),
                                     [&](const Route& r) { return r.gateway == link_->address; }),
                      routes_.end());
        link_.reset();
    }

    void bringLinkUp() {
        const RasHandle handle = nextHandle_++;
        const std::string address = kAddresses[tape_.draw(2)];
        const bool answered = tape_.draw(4) != 3;
        ras_.connect(handle, kEntryName);
        if (answered) {
            ras_.addresses[handle] = address;
        }
        ip_.add(address);
        link_ = Link{handle, address, answered, false, ras_.queries};
        droppedByWorld_ = false;
        step("  link " + std::to_string(handle) + " up with " + address +
             (answered ? "" : " (the service does not give the address)"));
    }

    void linkDrops() {
        if (!link_) {
            return;
        }
        // A link that came and went between two looks of the program's was never its to tell.
        const bool seen = ras_.queries > link_->listedBefore;
        ras_.drop(link_->handle);
        ras_.addresses.erase(link_->handle);
        removeLinkTraces();
        droppedByWorld_ = true;
        if (seen && !surface_.enabled(Control::Command1)) {
            lostUntold_ = 2;
            logWhenLost_ = log_.file.lines.size();
            balloonsWhenLost_ = host_.balloons;
        }
    }

    // After a tick of the link watch has shown the status.
    void afterLinkWatch() {
        const bool saysUp = surface_.text(Control::lblStatus).find("已连接") != std::string::npos;
        check(!(saysUp && !link_ && downAtLastWatch_), Invariant::statusTellsTheTruth,
              "the status says \"" + surface_.text(Control::lblStatus) + "\" a tick after the link went down");
        downAtLastWatch_ = !link_;
        if (!tickRan()) {
            return;
        }
        if (lostUntold_ > 0 && --lostUntold_ == 0 && !link_ && !surface_.enabled(Control::Command1)) {
            const bool logged = std::any_of(
                log_.file.lines.begin() + static_cast<std::ptrdiff_t>(logWhenLost_), log_.file.lines.end(),
                [](const std::string& line) {
                    return line.find("链路断开") != std::string::npos || line.find("拨号结束：未连接") != std::string::npos;
                });
            check(logged || host_.balloons > balloonsWhenLost_, Invariant::failuresTold,
                  "the link went down two ticks ago and nothing told of it");
        }
        if (link_) {
            lostUntold_ = 0;
        }
    }

    // A tick runs the watch unless another event that counts as under way is beneath it.
    bool tickRan() const {
        return std::all_of(frames_.begin(), frames_.end() - 1, [](const Frame& f) {
            return f.kind == Kind::trayStatus || f.kind == Kind::trayLog || f.kind == Kind::trayLogon ||
                   f.kind == Kind::trayRestore || f.kind == Kind::trayDoubleClick || f.kind == Kind::scriptStatus ||
                   f.kind == Kind::editField || f.kind == Kind::linkDrops || f.kind == Kind::addressGoes ||
                   f.kind == Kind::linkReturns || f.kind == Kind::addressTableFails ||
                   f.kind == Kind::statusUnanswered;
        });
    }

    void checkAfterEvent() {
        check(unloadFinished_ || !unloading_, Invariant::commandsEnd, "the unload has not finished");
    }

    // The programs of the computer outlive this one: those still running end.
    void finishWorld() {
        for (int i = 0; i < 10 && !programs_.empty(); ++i) {
            elapse(1000);
        }
    }

    void checkClean() {
        check(!rules_[0] && !rules_[1], Invariant::cleanAfterEnd,
              "the policy for " + rules_[0].value_or(rules_[1].value_or("")) + " is still in force");
        check(!link_, Invariant::cleanAfterEnd, "the link is still up");
        check(routes_.empty(), Invariant::cleanAfterEnd, "a route is left");
    }

    ChoiceTape& tape_;
    RunResult& result_;
    bool ipsec_ = true;
    bool l2tp_ = true;
    bool autoDial_ = false;
    bool vista_ = false;

    SimulatedSurface surface_;
    SimulatedHost host_;
    testing::FakeRemoteAccess ras_;
    testing::FakeProcesses processes_;
    testing::FakeShellFolders shell_{std::string("C:\\Users\\alice\\Documents")};
    testing::FakeTextFiles files_;
    testing::FakeAnsiCodec codec_;
    SimulatedLoop loop_{*this};
    testing::FakeRegistry registry_;
    testing::FakeIpHelper ip_;
    testing::FakeManagementService management_;
    testing::FakeWindowsVersion version_;
    testing::FakeFileOperations programFiles_;
    testing::MemoryLog log_;
    SimulatedOperations operations_{*this};
    Form1 form_{surface_, host_,
                Platform{ras_, processes_, shell_, files_, codec_, loop_, registry_, ip_, management_, version_,
                         programFiles_, log_.file, log_.clock, operations_}};

    std::vector<std::shared_ptr<ProgramState>> programs_;
    std::optional<std::string> rules_[2];  // the address each rule of ours in force is for
    std::vector<Route> routes_;
    std::optional<Link> link_;
    bool droppedByWorld_ = false;
    RasHandle nextHandle_ = 100;

    std::vector<Frame> frames_;
    int depth_ = 0;
    int boxesOpen_ = 0;
    bool boxesClosed_ = false;
    bool unloading_ = false;
    bool unloadFinished_ = false;
    bool stopped_ = false;
    bool downAtLastWatch_ = false;
    int lostUntold_ = 0;
    std::size_t logWhenLost_ = 0;
    int balloonsWhenLost_ = 0;
    long waitsThisEvent_ = 0;
    std::uint64_t nowMs_ = 0;
    std::uint64_t tableFailsUntilMs_ = 0;
    std::uint64_t statusUnansweredUntilMs_ = 0;
    std::uint64_t startMs_ = 0;
    RasHandle linkAtStart_ = 0;
};

Started Session::startPolicyRun(const PolicyRun& run) {
    const std::size_t rule = run.rule == RuleDirection::outbound ? 0 : 1;
    if (run.apply && rule == 0 && link_ && link_->handle == linkAtStart_) {
        check(run.local == link_->address, Invariant::policyForTheLinksAddress,
              "applied for " + run.local + " over a link whose address is " + link_->address);
    }
    auto state = std::make_shared<ProgramState>();
    state->what = std::string("policy ") + (run.apply ? "apply " : "withdraw ") + (rule == 0 ? "out " : "in ") +
                  run.local;
    // The world is kind to the program's end: what it must leave clean does not hang or fail.
    const std::uint32_t outcome = unloading_ ? 0 : tape_.draw(8);
    if (outcome == 6 && !vista_) {
        // What the old tools' exit statuses mean is nobody's to say: theirs fail by not starting.
        step("world: " + state->what + " cannot start");
        Started none;
        none.failure = "无法启动策略工具 ipseccmd。";
        return none;
    }
    if (outcome == 5) {
        state->looksLeft = 1 + static_cast<int>(tape_.draw(2));
    } else if (outcome == 6) {
        state->status = 1;
    } else if (outcome == 7) {
        state->hung = true;
    }
    const std::optional<std::string> value = run.apply ? std::optional<std::string>(run.local) : std::nullopt;
    state->effect = [this, rule, value] { rules_[rule] = value; };
    step("world: " + state->what + (outcome == 6 ? " (will fail)" : outcome == 7 ? " (hangs)" : ""));
    programs_.push_back(state);
    Started started;
    started.program = std::make_unique<SimulatedProgram>(state);
    return started;
}

DialStarted Session::startDial(const DialRequest&) {
    check(!dialRunning(), Invariant::oneDialAtATime, "a second dial starts");
    check(!stopped_, Invariant::noDialAfterStop, "a dial starts after a Stop");
    const bool forScript = !frames_.empty() && isScript(frames_.back().kind);
    check(boxesOpen_ == 0 || forScript || boxesClosed_, Invariant::stopReachable,
          "a dial starts while a box takes every click");
    auto state = std::make_shared<ProgramState>();
    state->dial = true;
    const std::uint32_t outcome = tape_.draw(5);
    if (link_) {
        state->status = 756;  // already being dialled or connected
    } else if (outcome == 0 || outcome == 1) {
        state->looksLeft = outcome == 0 ? 0 : 1 + static_cast<int>(tape_.draw(3));
        state->effect = [this] { bringLinkUp(); };
    } else if (outcome == 2 || outcome == 3) {
        state->status = outcome == 2 ? 691 : 800;
        state->looksLeft = outcome == 3 ? 2 : 0;
    } else {
        state->looksLeft = kDialGivesUpAfter;
        state->status = 718;
    }
    state->what = "rasdial";
    step(std::string("world: rasdial starts") + (link_ ? " over a link up" :
         outcome <= 1 ? (outcome == 0 ? ", will connect" : ", will connect late") :
         outcome <= 3 ? ", will fail" : ", hangs"));
    programs_.push_back(state);
    DialStarted started;
    started.phonebook = "C:\\Program Files\\Velmora VPN\\ipsec.pbk";
    started.program = std::make_unique<SimulatedProgram>(state);
    return started;
}

void SimulatedLoop::delay(int seconds) { session_.wait(static_cast<std::uint32_t>(seconds) * 1000); }
void SimulatedLoop::pause(std::uint32_t milliseconds) { session_.wait(milliseconds); }
std::optional<std::uint32_t> SimulatedLoop::waitFor(RunningProgram& program) {
    return session_.waitUntilEnded(program, std::nullopt);
}
std::optional<std::uint32_t> SimulatedLoop::waitAtMost(RunningProgram& program, std::uint32_t milliseconds) {
    return session_.waitUntilEnded(program, milliseconds);
}
Started SimulatedOperations::startPolicyRun(const PolicyRun& run) { return session_.startPolicyRun(run); }
DialStarted SimulatedOperations::startDial(const DialRequest& dial) { return session_.startDial(dial); }
bool SimulatedOperations::addRoute(const Route& route) { return session_.addRoute(route); }

}  // namespace

RunResult runSession(ChoiceTape& tape, int topEvents) {
    RunResult result;
    try {
        Session session(tape, result);
        session.run(topEvents);
    } catch (const Failure& failure) {
        result.violation = failure.violation;
    }
    return result;
}

std::vector<std::uint32_t> shrink(std::vector<std::uint32_t> choices, Invariant invariant, int topEvents) {
    const auto stillFails = [&](const std::vector<std::uint32_t>& candidate) {
        ChoiceTape tape(candidate);
        const RunResult result = runSession(tape, topEvents);
        return result.violation && result.violation->invariant == invariant;
    };
    // Chunks cut out, largest first, then each choice made plainer, until nothing changes.
    bool changed = true;
    while (changed) {
        changed = false;
        for (std::size_t size = std::max<std::size_t>(choices.size() / 2, 1); size > 0; size /= 2) {
            for (std::size_t start = 0; start + size <= choices.size();) {
                std::vector<std::uint32_t> candidate(choices.begin(), choices.begin() + static_cast<std::ptrdiff_t>(start));
                candidate.insert(candidate.end(), choices.begin() + static_cast<std::ptrdiff_t>(start + size), choices.end());
                if (stillFails(candidate)) {
                    choices = std::move(candidate);
                    changed = true;
                } else {
                    start += size;
                }
            }
        }
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (choices[i] == 0) {
                continue;
            }
            std::vector<std::uint32_t> candidate = choices;
            candidate[i] = 0;
            if (stillFails(candidate)) {
                choices = std::move(candidate);
                changed = true;
            }
        }
    }
    return choices;
}

}  // namespace velmora::simulation
