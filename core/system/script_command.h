// The program's command line as scripts and scheduled tasks use it: which command a start asks
// for, and the exit codes that tell the script how it went.
#pragma once

#include <string>
#include <vector>

namespace velmora {

enum class ScriptVerb {
    none,        // no argument: an ordinary start, which brings a running program's window forward
    connect,     // Connect, as the tray's item does
    disconnect,  // Stop, as the tray's item does
    status,      // only the exit code says how the link is
    exit,        // ends the program as 退出 does
    minimized,   // starts in the tray, without the window; nothing when the program runs
    unknown,     // anything else: the options are shown, nothing runs
};

// What a start was asked: the verb, and for an unknown one the argument that was not understood.
struct ScriptRequest {
    ScriptVerb verb = ScriptVerb::none;
    std::string unknownArgument;
};

// One option, led by '/' or '-', in any case. A second argument is not understood either: a
// start does one thing.
ScriptRequest parseScriptArguments(const std::vector<std::string>& arguments);

// True for the verbs that a running program carries out for the new process: every verb it knows
// (an ordinary start shows the running window; a start in the tray leaves it as it is).
bool handedToRunningProgram(ScriptVerb verb);

// The exit codes of a start with an option.
namespace script_exit {
// /connect: the link is up; /disconnect: the link is down; /exit: the program has ended;
// /status: connected.
constexpr int done = 0;
// /status: not connected.
constexpr int notConnected = 1;
// /status: a dial or the IPsec policy is under way; /connect: a dial was already under way.
constexpr int dialling = 2;
// /status, /disconnect, /exit: the program is not running.
constexpr int notRunning = 3;
// /connect: a check of the fields refused it (the window shows which).
constexpr int refused = 4;
// /connect: the link is not up (the policy or the dial failed, or Stop came first; the log has
// why); /disconnect: the link is still up (Stop of an IPsec session withdraws only the policy).
constexpr int notAsAsked = 5;
// The running program did not take the command: it is ending, or it runs for another user.
constexpr int notTaken = 6;
// The argument was not understood.
constexpr int unknownArgument = 87;
}  // namespace script_exit

// The message a start with an argument it does not understand shows.
std::string scriptUsage(const std::string& unknownArgument);

}  // namespace velmora
