// The dialer: brings the tunnel up with rasdial, finds the address it obtained (the service's
// answer, else the host's addresses before and after compared), and keeps the route commands for
// the remote networks. rasdial and route run as operations (core/service/operations.h), by the
// service where one runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/connection/dial_failure.h"
#include "core/connection/link_query.h"
#include "core/log/connection_log.h"
#include "core/profile/control_surface.h"
#include "core/service/operations.h"
#include "platform/event_loop.h"
#include "platform/ip_helper.h"
#include "platform/remote_access.h"

namespace velmora {

enum class DialOutcome {
    up,         // the entry is up after the dial
    down,       // rasdial ran (or could not start) and the entry is not up
    cancelled,  // ended by cancel, or the program is ending: nothing was reported
    refused,    // network 1 is not an address: nothing was dialled
};

class Dialer {
public:
    Dialer(ControlSurface& window, Operations& operations, EventLoop& loop, IpHelper& ipHelper, LinkQuery& linkQuery,
           RemoteAccess& remoteAccess, ConnectionLog& log)
        : window_(window), operations_(operations), loop_(loop), ipHelper_(ipHelper), linkQuery_(linkQuery),
          remoteAccess_(remoteAccess), log_(log) {}

    // Dials the entry from ipsec.pbk or pptp.pbk, which the operation writes just before, and waits for rasdial while
    // the window stays responsive; the link's status shows the dial meanwhile. Success is
    // connName being up afterwards. The tunnel's address is the one the remote-access service
    // says the connection obtained, else the first new one in the host's address table after
    // the dial. On success with an address it composes the route commands, puts the address
    // into txtlocal and, with neither IPsec (Check1) nor the remote default gateway (Check2) on,
    // starts the routes. Reports the outcome (a success only without IPsec, whose session tells it
    // once the link is protected) unless auto-dial (Check3) is on or a script asked
    // (its exit code and the log tell it), a failure with the error rasdial ended with
    // (dial_failure.h); refuses to dial when network 1 is not an address, or when the phonebook cannot be written anew first
    // or the operation is refused (the user is told why). A dial cancelled, or one during which the program
    // began to end, stops at its next step and reports nothing. The log has the dial, who asked
    // for it, and its end.
    DialOutcome dialtol2tp(const std::string& connName, Origin origin);

    // Dials the entry from defaultgate.pbk beside the programs and reports the outcome, whatever Check3 says,
    // unless a script asked; nothing else. Cancelled and logged as dialtol2tp.
    DialOutcome dialtol2tp_defaultgate(const std::string& connName, Origin origin);

    // Adds the stored routes, not waited for; they stay stored. The log has their commands the
    // first time for a link.
    void routeAdd();
    // The link went down: the routes started for the next one are logged again.
    void linkLost() { routesLogged_ = false; }

    // True from the start of a dial's preparation (the address snapshot, which may tell the user
    // something) until its rasdial has returned.
    bool dialling() const { return preparing_ > 0 || dial_ != nullptr; }

    // Ends the dial under way, logged at once as cancelled by whom: the entry's connections are
    // hung up in whatever state the remote-access service lists them, rasdial is given a few
    // seconds to return by itself (then ended), the entry's connections are listed and hung up
    // again, and each is waited for until the service has let it go. The window stays
    // responsive meanwhile. The dial then returns cancelled. A dial still being prepared starts no
    // rasdial.
    void cancel(CancelledBy by);

    // Hangs up the entry's connections and waits, while the window stays responsive, until the
    // service has let each go (a few seconds at most); the link's status then shows the link as
    // it is. asked holds the connections already hung up, which are waited for but not hung up
    // again; those hung up here are added to it.
    void hangUpLink(const std::string& entry, std::vector<RasHandle>& asked);

    // The program is ending: no dial starts from now on, and one under way reports nothing.
    void refuseDialling() { refused_ = true; }

    // The address the last dial found for the connection it brought up, when that connection is
    // the one given (a dial's address belongs to its own link only); empty otherwise.
    std::string addressFound(RasHandle connection) const {
        return connection != 0 && connection == found_.connection ? found_.address : std::string();
    }

    // The route commands of the last dial that found the tunnel's address; empty before one, and
    // each for a network of 0.0.0.0.
    const std::string& routeCmd1() const { return routeCmd1_; }
    const std::string& routeCmd2() const { return routeCmd2_; }

private:
    // Counts a dial as being prepared for as long as it is; a cancel meanwhile holds until the
    // last preparation ends.
    class Preparing {
    public:
        explicit Preparing(Dialer& dialer) : dialer_(dialer) { ++dialer_.preparing_; }
        ~Preparing() {
            if (--dialer_.preparing_ == 0) {
                dialer_.preparationCancelled_ = false;
            }
        }
        Preparing(const Preparing&) = delete;
        Preparing& operator=(const Preparing&) = delete;

    private:
        Dialer& dialer_;
    };

    // One rasdial run, as far as a cancel needs to know it.
    struct Dial {
        RunningProgram* program = nullptr;
        bool cancelled = false;
        std::vector<RasHandle> hungUp;  // the connections a cancel hung up
    };
    // What the log says of a dial's start.
    struct DialLog {
        std::string server;
        std::string protocol;
        Origin origin;
    };
    // How a dial's rasdial went.
    struct DialRun {
        bool refused = false;       // nothing was dialled, and the user was told why
        bool cancelled = false;     // ended meanwhile: nothing is reported
        std::optional<std::uint32_t> status;  // nothing when rasdial could not start
        std::string phonebook;      // the full path it named
    };

    // Runs rasdial for the dial while the window stays responsive.
    DialRun runRasdial(const DialRequest& request, const DialLog& started);
    void logDialEnd(bool up, std::optional<std::uint32_t> status, const std::string& tunnel, bool defaultGateway);
    void reportDial(bool up, std::optional<std::uint32_t> status, const std::string& phonebook, DialKind kind);

    ControlSurface& window_;
    Operations& operations_;
    EventLoop& loop_;
    IpHelper& ipHelper_;
    LinkQuery& linkQuery_;
    RemoteAccess& remoteAccess_;
    ConnectionLog& log_;
    struct Found {
        RasHandle connection = 0;
        std::string address;
    };

    Dial* dial_ = nullptr;
    int preparing_ = 0;             // dials being prepared, before their rasdial starts
    bool preparationCancelled_ = false;
    Found found_;
    bool refused_ = false;
    bool routesLogged_ = false;
    std::string routeCmd1_;
    std::string routeCmd2_;
    std::vector<Route> routes_;  // what routeCmd1 and routeCmd2 add
};

}  // namespace velmora
