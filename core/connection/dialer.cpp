#include "core/connection/dialer.h"

#include <vector>

#include "core/connection/address_snapshot.h"
#include "core/connection/dial_commands.h"
#include "core/connection/dial_failure.h"
#include "core/connection/hang_up.h"
#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/text/text.h"

namespace velmora {

namespace {

constexpr const char* kBadNetwork1 = "远端内网地址和掩码错误！";
constexpr const char* kNoNetwork = "0.0.0.0";
// How long rasdial has to return by itself once its connection is hung up.
constexpr std::uint32_t kRasdialReturnMs = 5000;

std::string protocolName(const ConnProfile& profile) {
    return profile.Option1 == kProtocolL2tp ? "L2TP" : "PPTP";
}

}  // namespace

Dialer::DialRun Dialer::runRasdial(const DialRequest& request, const DialLog& started) {
    DialRun run;
    DialStarted dial = operations_.startDial(request);
    run.phonebook = dial.phonebook;
    if (!dial.phonebookWritten) {
        log_.phonebookNotWritten(dial.phonebook);
        window_.showMessage("无法写入电话簿文件 " + dial.phonebook + "，没有拨号。请检查该文件夹能否写入。", MessageSign::error);
        run.refused = true;
        return run;
    }
    if (dial.refused) {
        log_.operationRefused(dial.failure);
        window_.showMessage(dial.failure, MessageSign::error);
        run.refused = true;
        return run;
    }
    log_.dialStarted(kEntryName, dial.phonebook, started.server, started.protocol, started.origin);
    if (!dial.program) {
        return run;
    }
    Dial underWay;
    underWay.program = dial.program.get();
    Dial* const beneath = dial_;
    dial_ = &underWay;
    run.status = loop_.waitFor(*dial.program);
    dial_ = beneath;
    run.cancelled = underWay.cancelled || refused_;
    if (refused_ && !underWay.cancelled) {
        log_.dialCancelled(CancelledBy::programEnd);
    }
    return run;
}

// Hanging up first lets rasdial return by itself, as the service tells it of the disconnection;
// ending it is the fallback. A connection that registered after the first look is hung up too,
// and every one is waited for until the service has let it go. A cancel made during another's
// waits (the program ending during a Stop) goes through the same steps and waits as long.
void Dialer::cancel(CancelledBy by) {
    if (dial_ == nullptr) {
        if (preparing_ > 0 && !preparationCancelled_) {
            preparationCancelled_ = true;
            log_.dialCancelled(by);
        }
        return;
    }
    Dial& dial = *dial_;
    if (!dial.cancelled) {
        dial.cancelled = true;
        log_.dialCancelled(by);
    }
    hangUpEntry(remoteAccess_, kEntryName, log_, dial.hungUp);
    if (!loop_.waitAtMost(*dial.program, kRasdialReturnMs)) {
        dial.program->terminate();
    }
    hangUpEntry(remoteAccess_, kEntryName, log_, dial.hungUp);
    waitUntilGone(remoteAccess_, loop_, log_, dial.hungUp);
}

void Dialer::hangUpLink(const std::string& entry, std::vector<RasHandle>& asked) {
    hangUpEntry(remoteAccess_, entry, log_, asked);
    waitUntilGone(remoteAccess_, loop_, log_, asked);
    (void)linkQuery_.getL2tpState(entry);
}

DialOutcome Dialer::dialtol2tp(const std::string& connName, Origin origin) {
    if (refused_) {
        return DialOutcome::cancelled;
    }
    const ConnProfile profile = readProfile(window_);
    const std::string peer = trimBlanks(profile.txtpeer);
    const std::string mask = trimBlanks(profile.txtpeermask);
    const std::string peer2 = trimBlanks(profile.txtpeer2);
    const std::string mask2 = trimBlanks(profile.txtpeermask2);
    if (!checkip(peer) || !checkip(mask)) {
        log_.connectRefused(kBadNetwork1);
        window_.showMessage(kBadNetwork1, MessageSign::warning);
        return DialOutcome::refused;
    }
    const std::string net1 = getipnetaddress(peer, mask);
    const std::string net2 = getipnetaddress(peer2, mask2);
    const DialRequest request{dialPhonebook(profile), trimBlanks(profile.txtServerAddress),
                              trimBlanks(profile.txtUserName), dialPassword(profile)};
    const DialLog started{request.server, protocolName(profile), origin};

    DialRun run;
    bool up = false;
    {
        // The link shows as being dialled until the dial's outcome and address are known.
        const LinkStatus::Working dialling(linkQuery_.status(), LinkStatus::Work::dialling);
        std::optional<std::vector<std::string>> before;
        {
            // The snapshot may tell the user something: a Stop or the program's end while that
            // message is open ends the dial before it starts.
            const Preparing preparing(*this);
            before = readIpAddrTable(ipHelper_, window_);
            if (refused_ || preparationCancelled_) {
                return DialOutcome::cancelled;
            }
        }
        run = runRasdial(request, started);
        if (run.refused) {
            return DialOutcome::refused;
        }
        if (run.cancelled) {
            return DialOutcome::cancelled;
        }
        const auto after = readIpAddrTable(ipHelper_, window_);
        up = linkQuery_.getL2tpState(connName);
        // The service's own answer for the connection first; the snapshot only where it has none.
        std::optional<std::string> tunnel;
        if (up) {
            const std::string obtained = remoteAccess_.connectionAddress(linkQuery_.hRasConn());
            if (checkip(obtained)) {
                tunnel = obtained;
            } else if (before && after) {
                tunnel = firstNewAddress(*before, *after);
            }
        }
        found_ = {up && tunnel ? linkQuery_.hRasConn() : 0, tunnel.value_or(std::string())};
        logDialEnd(up, run.status, tunnel.value_or(std::string()), false);
        if (tunnel) {
            // A network of 0.0.0.0 (as a fresh settings file holds) is no network to route.
            routes_.clear();
            routeCmd1_.clear();
            routeCmd2_.clear();
            if (net1 != kNoNetwork) {
                routes_.push_back(Route{net1, mask, *tunnel});
                routeCmd1_ = routeLine(routes_.back());
            }
            if (net2 != kNoNetwork) {
                routes_.push_back(Route{net2, mask2, *tunnel});
                routeCmd2_ = routeLine(routes_.back());
            }
            routesLogged_ = false;
            window_.setText(Control::txtlocal, *tunnel);
            if (window_.value(Control::Check1) == kUnchecked && window_.value(Control::Check2) == kUnchecked) {
                routeAdd();
            }
        }
    }
    if (refused_) {
        return DialOutcome::cancelled;
    }
    // A script's dial is told by its exit code and the log: no box waits for a user who may
    // not be there.
    if (window_.value(Control::Check3) == kUnchecked && origin != Origin::script) {
        // As the dial was made.
        reportDial(up, run.status, run.phonebook,
                   DialKind{profile.Option1 != kProtocolL2tp, profile.checkHD == kChecked});
    }
    return up ? DialOutcome::up : DialOutcome::down;
}

DialOutcome Dialer::dialtol2tp_defaultgate(const std::string& connName, Origin origin) {
    if (refused_) {
        return DialOutcome::cancelled;
    }
    DialRun run;
    bool up = false;
    {
        const LinkStatus::Working dialling(linkQuery_.status(), LinkStatus::Work::dialling);
        const ConnProfile profile = readProfile(window_);
        // The default-gateway phonebook's entry is a PPTP one, and it sends the password alone.
        const DialRequest request{DialPhonebook::defaultGateway, trimBlanks(profile.txtServerAddress),
                                  trimBlanks(profile.txtUserName), trimBlanks(profile.txtPasswd)};
        run = runRasdial(request, DialLog{request.server, "PPTP", origin});
        if (run.refused) {
            return DialOutcome::refused;
        }
        if (run.cancelled) {
            return DialOutcome::cancelled;
        }
        up = linkQuery_.getL2tpState(connName);
        logDialEnd(up, run.status, {}, true);
    }
    if (origin != Origin::script) {
        reportDial(up, run.status, run.phonebook, DialKind{true, false});
    }
    return up ? DialOutcome::up : DialOutcome::down;
}

void Dialer::routeAdd() {
    std::vector<std::string> started;
    for (const Route& route : routes_) {
        if (operations_.addRoute(route)) {
            started.push_back(routeLine(route));
        }
    }
    if (!started.empty() && !routesLogged_) {
        routesLogged_ = true;
        log_.routesStarted(started);
    }
}

void Dialer::logDialEnd(bool up, std::optional<std::uint32_t> status, const std::string& tunnel,
                        bool defaultGateway) {
    if (up) {
        log_.dialConnected(tunnel, defaultGateway);
    } else {
        log_.dialNotConnected(status, status && *status != 0 ? remoteAccess_.errorText(*status) : std::string());
    }
}

// Only the link says whether the dial worked; the exit status only says why it did not.
void Dialer::reportDial(bool up, std::optional<std::uint32_t> status, const std::string& phonebook, DialKind kind) {
    if (up) {
        // An IPsec session tells of it once the link is protected.
        if (window_.value(Control::Check1) == kUnchecked) {
            window_.showMessage(kDialSucceeded, MessageSign::information);
        }
        return;
    }
    const std::string description = status && *status != 0 ? remoteAccess_.errorText(*status) : std::string();
    window_.showMessage(dialFailureMessage(status, description, phonebook.substr(0, phonebook.rfind('\\')), kind),
                        MessageSign::error);
}

}  // namespace velmora
