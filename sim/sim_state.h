// The state of the simulated remote-access environment, shared by its stand-ins and the tests:
// the phonebook's entries, the active connections, the journal of what the stand-ins were asked
// to do, and what the stand-in rasdial is to act out.
//
// All live in the folder named by VELMORA_SIM_DIR, else the one the tests published in the registry
// (for a service, which the service manager starts without the tests' environment), else the
// folder of the running program:
//   ras-entries.txt one phonebook entry name per line, in the service's order (UTF-8, CR LF)
//   ras-state.txt   one active connection per line: "<handle> <entry name>", followed by a tab
//                   and the address it obtained once it has one (UTF-8, CR LF)
//   ras-hangups.txt one connection being hung up per line: "<handle> <tick count it goes at>"
//   journal.txt     one line per command line or service call (UTF-8, CR LF)
//   journal-starters.txt  for each journal line, in the same order, who wrote it (see JournalEntry)
//   journal-times.txt     for each journal line, in the same order, when it was written (see TimedLine)
//   rasdial-scenario.txt  what the next dials do (see RasdialScenario)
//   ipsec-store.txt the stand-in netsh's IPsec policy store (see ipsec_store.h)
//   netsh-fails.txt a command the stand-in netsh fails, by its start after "ipsec static "
//   ras-status-fails.txt  the error the stand-in rasapi32 answers every status question with
//   policy-tool-seconds.txt  how long the stand-in ipsecpol and ipseccmd take after their line
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/ipsec_store.h"

namespace velmora::sim {

struct SimConnection {
    std::uint32_t handle = 0;
    std::string entryName;
    std::string tunnelAddress{};  // empty until the connection has obtained one
};

std::wstring simFolder();

// Names the folder for the programs started without the tests' environment, in
// HKLM\Software\Velmora Sim (value Folder); an empty folder removes the key.
void publishSimFolder(const std::wstring& folder);

std::vector<std::string> loadEntries();
void saveEntries(const std::vector<std::string>& names);

// The connections listed now: one being hung up stays listed for a moment after the hang-up,
// as the service keeps it while it ends it, and is gone from the first look after that.
std::vector<SimConnection> loadConnections();
void saveConnections(const std::vector<SimConnection>& connections);

// How long a hung-up connection lingers.
constexpr unsigned long kHangUpLingerMs = 700;

// The connection begins to be hung up (again: nothing changes); false when it is not listed.
bool beginHangUp(std::uint32_t handle);
// True while the listed connection is being hung up.
bool hangingUp(std::uint32_t handle);

void appendJournal(const std::string& line);
std::vector<std::string> readJournal();

// A journal line and who wrote it: the image names (e.g. "netsh.exe") of the process that wrote it,
// of its parent and of its parent's parent, each empty where that process could not be found.
// journal-starters.txt has one line per journal line: the three names and the line, tab-separated.
struct JournalEntry {
    std::string line;
    std::string program;
    std::string parent;
    std::string grandparent;
};
std::vector<JournalEntry> readJournalStarters();

// A journal line and the tick count (GetTickCount, in milliseconds) at which it was written: every
// process of one Wine session reads the same clock. journal-times.txt has one number per journal line.
struct TimedLine {
    std::string line;
    std::uint32_t tick = 0;
};
std::vector<TimedLine> readTimedJournal();

// What the stand-in rasdial acts out, from rasdial-scenario.txt: one line
// "connect <seconds> [<tunnel address>]" or "fail <seconds> [<error code>]". It lists the entry it
// was asked to dial among the connections at once, as the service lists a connection being made,
// and takes the given seconds; "connect" then keeps it listed and, when an address is named, adds
// it to the network (the private namespace's loopback) and returns once the host lists it; "fail"
// takes it off the list again and ends with the error code (691 unless one is named). Without the
// file: connect at once, with 10.10.10.4.
struct RasdialScenario {
    bool connects = true;
    int seconds = 0;
    std::string tunnelAddress = "10.10.10.4";
    std::uint32_t errorCode = 691;  // refused credentials
};

RasdialScenario loadRasdialScenario();
void saveRasdialScenario(const RasdialScenario& scenario);

// An empty store when there is no file. Saving replaces the file in one step, so that a reader
// never sees half a store, and keeps in the registry what netsh keeps there of the assignment
// (HKLM\SOFTWARE\Policies\Microsoft\Windows\IPSec\Policy\Local: ActivePolicy naming the assigned
// policy's key, which holds its ipsecName).
IpsecStore loadIpsecStore();
void saveIpsecStore(const IpsecStore& store);

// The start of the commands (after "ipsec static ", e.g. "add filteraction") that the stand-in
// netsh fails as if netsh had refused them, changing nothing; empty: none.
std::string loadNetshFailure();
void saveNetshFailure(const std::string& commandStart);

// The error code (0: none) with which the stand-in rasapi32 fails every question about a
// connection's status, listed or not, as the service can for a moment after the computer resumes.
std::uint32_t loadStatusFailure();
void saveStatusFailure(std::uint32_t error);

// The seconds the stand-in ipsecpol and ipseccmd take once their line is journalled, from
// policy-tool-seconds.txt: none without the file.
int loadPolicyToolSeconds();
void savePolicyToolSeconds(int seconds);

}  // namespace velmora::sim
