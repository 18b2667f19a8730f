// What only an administrator may do, as named operations that carry values and never a command:
// the registry switch, the name of Windows XP's policy library, each run of the policy tool, a
// dial with its phonebook, and the routes. The window asks; the service carries them out, or,
// where no service runs, the window itself with administrator rights (LocalOperations), through
// the same code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace velmora {

// The two rules of the policy: "windows to zerta" (started first) and "zerta to windows".
enum class RuleDirection { outbound, inbound };

// One line of the policy, as the values it is composed from: each trimmed as the window takes it,
// the key as typed (its check counts its blanks).
struct PolicyRun {
    RuleDirection rule = RuleDirection::outbound;
    bool apply = true;  // assign (" -x"), else withdraw (" -y")
    std::string local;         // this computer's tunnel address
    std::string peer;          // an address in remote network 1: the tunnel's far end
    std::string peerMask;      // remote network 1's mask
    std::string presharedKey;
    std::string suite;         // one of kCipherSuites
};

// The phonebook a dial names: the L2TP or the PPTP one, which the operation writes just before the
// dial, or the default-gateway one that the installer put beside the programs.
enum class DialPhonebook { l2tp, pptp, defaultGateway };

struct DialRequest {
    DialPhonebook phonebook = DialPhonebook::l2tp;
    std::string server;
    std::string user;
    std::string password;  // as dialled: with the hardware code in front where one is sent
};

// A route to a remote network through the tunnel's address.
struct Route {
    std::string network;
    std::string mask;
    std::string gateway;
};

// A program an operation started, or why none was.
struct Started {
    std::unique_ptr<RunningProgram> program;  // null when nothing started
    // Set when nothing started, for the user: the program that could not be started, or why the
    // values were refused.
    std::string failure;
    bool refused = false;  // the values (or the asker) were refused, rather than the program failing
};

struct DialStarted : Started {
    std::string phonebook;  // the full path the dial names (also when it could not be written)
    bool phonebookWritten = true;
};

enum class SwitchChange { alreadySet, setNow, notWritten };

class Operations {
public:
    virtual ~Operations() = default;

    // Sets "ProhibitIpsec" to the number 1, creating the key when it is missing, unless it holds 1.
    virtual SwitchChange setL2tpSwitch() = 0;

    // On Windows XP gives the policy library beside the policy tools the name its service pack
    // calls for; nothing on any other Windows.
    virtual void nameIpsecLibrary() = 0;

    // Starts the policy tool that the Windows version calls for with the run's line, hidden.
    virtual Started startPolicyRun(const PolicyRun& run) = 0;

    // Writes the phonebook the dial names (unless it is the default-gateway one), then starts
    // rasdial for the entry every dial names, hidden. Nothing is started when the phonebook could
    // not be written.
    virtual DialStarted startDial(const DialRequest& dial) = 0;

    // Starts "route add" for the route, hidden, not waited for. False when it was refused.
    virtual bool addRoute(const Route& route) = 0;

    // The lines of the settings file an earlier version kept at the root of the drive ('A' to 'Z'),
    // which only administrators could read: for an administrator only. Nothing when there is none,
    // it cannot be read, or the asker may not have it.
    virtual std::optional<std::vector<std::string>> oldSettings(char drive) = 0;
    // Removes that file, once carried over, and the phonebooks the earlier version wrote beside it.
    virtual void removeOldSettings(char drive) = 0;

    // Removes the task an earlier version made to start the program at the logon of the user it
    // works for; true when there was one.
    virtual bool removeOldLogonTask() = 0;
};

}  // namespace velmora
