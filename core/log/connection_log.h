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

// Who asked for a command.
enum class Origin { window, tray, autoDial };

// Why the program ends.
enum class EndReason { windowClosed, trayExit, sessionEnding };

class ConnectionLog {
public:
    ConnectionLog(LogFile& file, Clock& clock) : file_(file), clock_(clock) {}

    // The program has started: its own version, the Windows version as it read it ("5.1" and
    // the service-pack text, which may be empty) and the policy tool it chose.
    void programStarted(const std::string& programVersion, const std::string& windowsVersion,
                        const std::string& servicePack, const std::string& ipsecTool);
    // The registry switch was not set: it was written (the user is asked to restart) or the write
    // failed; the program ends either way.
    void registrySwitchSet(bool written);
    // An installer changed the switch after Windows last started; the user was reminded.
    void restartPending();

    void connectAsked(Origin origin);
    // A Connect refused by the field checks, with the failing check's own message.
    void connectRefused(const std::string& checkMessage);
    // A pair of policy runs, strActive being kPolicyOn or kPolicyOff. exitStatuses holds one
    // entry per run the program waited for (nothing for a run that could not start); leave it
    // empty for the tools whose runs are not waited for.
    void policyPair(const std::string& strActive, const std::string& ipsecTool,
                    const std::vector<std::optional<std::uint32_t>>& exitStatuses = {});
    // A dial starts; dialEnded reports its end and measures its time from here.
    void dialStarted(const std::string& entry, const std::string& phonebook, Origin origin);
    // exitStatus is nothing when rasdial could not start; tunnelAddress is empty when the dial
    // found none.
    void dialEnded(std::optional<std::uint32_t> exitStatus, const std::string& tunnelAddress);
    // The route commands started for a link; once a link, not on every tick of the watch, or
    // they would crowd everything else out of the file.
    void routesStarted(const std::vector<std::string>& routeCommands);
    void linkDown(const std::string& entry);
    void linkUpAgain(const std::string& entry);
    // The count-th automatic redial since the link went down.
    void autoRedial(int count);
    void stopAsked(Origin origin);
    // The program begins to shut down; what the shut-down does follows this line.
    void programEnding(EndReason reason);

    void settingsNotWritten(const std::string& path);
    // The settings, by name, that the administrator's profile filled at start, and those whose
    // value could not be used; nothing is written when both are empty.
    void administratorProfileUsed(const std::vector<std::string>& filled, const std::vector<std::string>& unusable);
    // The settings, by name, that policy fixed at start, and those whose value could not be used.
    void policiesApplied(const std::vector<std::string>& fixed, const std::vector<std::string>& unusable);
    void phonebookNotWritten(const std::string& path);
    // The program's files that start-up found open to other users (restrictedNow: closed to them
    // now; failed: still open; openToAll: on a file system that keeps no permissions).
    void dataFilesAccess(FileAccess access, const std::vector<std::string>& paths);

private:
    void write(const std::string& event);

    LogFile& file_;
    Clock& clock_;
    std::uint32_t dialStartedAt_ = 0;
};

}  // namespace velmora
