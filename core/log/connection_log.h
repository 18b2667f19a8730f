// The connection log: what the program did, when, and why it stopped, one line per event with
// the local date and time to the second, in the window's language. No method takes a secret, so
// none can reach the file: callers pass names, paths, statuses and the checks' own messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/log_file.h"
#include "platform/text_files.h"

namespace velmora {

// A local date and time as the log's lines begin, "2026-03-14 09:26:05".
std::string timestamp(const LocalTime& time);

// Who asked for a command.
enum class Origin { window, tray, autoDial, script };

// Why the program ends.
enum class EndReason { windowClosed, trayExit, sessionEnding, scriptExit };

// Who ended a dial before rasdial did: the user's Stop, or the program's end.
enum class CancelledBy { stop, programEnd };

class ConnectionLog {
public:
    ConnectionLog(LogFile& file, Clock& clock) : file_(file), clock_(clock) {}

    // The program has started: its own version, the Windows version as it read it ("5.1", the
    // build number, 0 when unknown, and the service-pack text, which may be empty) and the policy
    // tool it chose.
    void programStarted(const std::string& programVersion, const std::string& windowsVersion, std::uint32_t build,
                        const std::string& servicePack, const std::string& ipsecTool);
    // The registry switch was not set: it was written (the user is asked to restart) or the write
    // failed; the program ends either way.
    void registrySwitchSet(bool written);
    // An installer changed the switch after Windows last started; the user was reminded.
    void restartPending();

    void connectAsked(Origin origin);
    // A Connect refused by the field checks, with the failing check's own message.
    void connectRefused(const std::string& checkMessage);
    // A message for a command a script asked for, which no box shows: nobody may be there.
    void messageForScript(const std::string& message);
    // A pair of policy runs, strActive being kPolicyOn or kPolicyOff. exitStatuses holds one
    // entry per run the program waited for (nothing for a run that could not start); leave it
    // empty for the tools whose runs are not waited for.
    void policyPair(const std::string& strActive, const std::string& ipsecTool,
                    const std::vector<std::optional<std::uint32_t>>& exitStatuses = {});
    // A dial starts, to the server with the protocol ("L2TP", "PPTP"); the lines of its end
    // measure its time from here.
    void dialStarted(const std::string& entry, const std::string& phonebook, const std::string& server,
                     const std::string& protocol, Origin origin);
    // The dial brought the link up: with the tunnel address it found (empty: none), or through
    // the remote network's default gateway, where no address is looked for.
    void dialConnected(const std::string& tunnelAddress, bool defaultGateway);
    // The link is down after the dial: exitStatus is nothing when rasdial could not start; a
    // remote-access code (600 to 999) comes with the service's description (empty: none).
    void dialNotConnected(std::optional<std::uint32_t> exitStatus, const std::string& description);
    // The dial was ended before rasdial returned, at the moment it was.
    void dialCancelled(CancelledBy by);
    // The connection is being hung up.
    void hungUp(const std::string& entry, std::uint64_t handle);
    // A hung-up connection was still there after the longest wait for it.
    void hangUpUnfinished(std::uint64_t handle, std::uint32_t waitedMs);
    // The route commands started for a link; once a link, not on every tick of the watch, or
    // they would crowd everything else out of the file.
    void routesStarted(const std::vector<std::string>& routeCommands);
    void linkDown(const std::string& entry);
    void linkUpAgain(const std::string& entry);
    // The computer resumed from sleep or hibernation.
    void systemResumed();
    // The service still listed the entry's connection, but its tunnel was gone: it is hung up to
    // be dialled again.
    void deadLinkHungUp(const std::string& entry);
    // The count-th automatic redial since the link went down.
    void autoRedial(int count);
    void stopAsked(Origin origin);
    // The program ends, its shut-down done (what it withdrew and hung up comes before this
    // line): the last line of a run.
    void programEnding(EndReason reason);

    // The start at logon was turned on or off (done) or could not be, where it lives.
    void logonStartChanged(bool on, bool done, const std::string& place);
    // The start at logon an earlier version made as a scheduled task now lives in place.
    void earlierLogonTaskMoved(const std::string& place);

    void settingsNotWritten(const std::string& path);
    // The settings file an earlier version kept for everyone became the user's own.
    void settingsCarriedOver(const std::string& from, const std::string& to);
    // The settings, by name, that the administrator's profile filled at start, and those whose
    // value could not be used; nothing is written when both are empty.
    void administratorProfileUsed(const std::vector<std::string>& filled, const std::vector<std::string>& unusable);
    // The settings, by name, that policy fixed at start, and those whose value could not be used.
    void policiesApplied(const std::vector<std::string>& fixed, const std::vector<std::string>& unusable);
    void phonebookNotWritten(const std::string& path);
    // An operation was not carried out, with why (the service's own words, never a value).
    void operationRefused(const std::string& why);
    // The settings file as start-up found it against the computer's other users (restrictedNow:
    // it was open to them and is closed now; failed: another user's, or it could not be closed,
    // so it was not read; openToAll: on a file system that keeps no permissions).
    void settingsFileAccess(FileAccess access, const std::string& path);

private:
    void write(const std::string& event);
    // "用时 3.2 秒" since the dial started.
    std::string dialTime() const;

    LogFile& file_;
    Clock& clock_;
    std::uint32_t dialStartedAt_ = 0;
};

}  // namespace velmora
