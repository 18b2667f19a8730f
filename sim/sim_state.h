// The state of the simulated remote-access environment, shared by its stand-ins and the tests:
// the phonebook's entries, the active connections and the journal of what the stand-ins were
// asked to do.
//
// All live in the folder named by VELMORA_SIM_DIR, or else the folder of the running program:
//   ras-entries.txt one phonebook entry name per line, in the service's order (UTF-8, CR LF)
//   ras-state.txt   one active connection per line: "<handle> <entry name>" (UTF-8, CR LF)
//   journal.txt     one line per command line or service call (UTF-8, CR LF)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::sim {

struct SimConnection {
    std::uint32_t handle = 0;
    std::string entryName;
};

std::wstring simFolder();

std::vector<std::string> loadEntries();
void saveEntries(const std::vector<std::string>& names);

std::vector<SimConnection> loadConnections();
void saveConnections(const std::vector<SimConnection>& connections);

void appendJournal(const std::string& line);
std::vector<std::string> readJournal();

}  // namespace velmora::sim
