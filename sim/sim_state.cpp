#include "sim/sim_state.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <map>
#include <utility>

#include "platform/win32/unique_handle.h"

namespace velmora::sim {

namespace {

constexpr const wchar_t* kPublishedFolderKey = L"Software\\Velmora Sim";

std::wstring pathOf(const wchar_t* name) {
    return simFolder() + L"\\" + name;
}

std::wstring fromUtf8(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string toUtf8(const std::wstring& wide) {
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring publishedFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPublishedFolderKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder - sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG read = RegQueryValueExW(key, L"Folder", nullptr, &type, reinterpret_cast<BYTE*>(folder), &size);
    (void)RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(folder) : std::wstring();
}

// The image names of this process, of its parent and of that one's parent, from one snapshot of
// the processes; a process that has ended leaves its name and those before it empty.
std::vector<std::string> ancestry() {
    std::vector<std::string> names(3);
    const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        return names;
    }
    std::map<DWORD, std::pair<DWORD, std::wstring>> processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        processes[entry.th32ProcessID] = {entry.th32ParentProcessID, entry.szExeFile};
    }
    DWORD id = GetCurrentProcessId();
    for (std::string& name : names) {
        const auto found = processes.find(id);
        if (id == 0 || found == processes.end()) {
            break;
        }
        // Some Windows give the full path of the image, others its name.
        const std::wstring& image = found->second.second;
        name = toUtf8(image.substr(image.find_last_of(L"\\/") + 1));
        id = found->second.first;
    }
    return names;
}

std::string readWholeFile(const std::wstring& path) {
    // Shared for deletion too: a reader must not keep a writer from putting a new file in place.
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    if (file.get() == INVALID_HANDLE_VALUE) {
        return content;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    return content;
}

void writeFile(const std::wstring& path, const std::string& content, bool append) {
    const UniqueHandle file(CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    (void)WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

std::vector<std::string> splitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : content) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::wstring simFolder() {
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"VELMORA_SIM_DIR", folder, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return folder;
    }
    const std::wstring published = publishedFolder();
    if (!published.empty()) {
        return published;
    }
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    std::wstring path = folder;
    return path.substr(0, path.find_last_of(L"\\/"));
}

void publishSimFolder(const std::wstring& folder) {
    if (folder.empty()) {
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPublishedFolderKey);
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPublishedFolderKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    (void)RegSetValueExW(key, L"Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                         static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    (void)RegCloseKey(key);
}

std::vector<std::string> loadEntries() {
    return splitLines(readWholeFile(pathOf(L"ras-entries.txt")));
}

void saveEntries(const std::vector<std::string>& names) {
    std::string content;
    for (const std::string& name : names) {
        content += name + "\r\n";
    }
    writeFile(pathOf(L"ras-entries.txt"), content, false);
}

namespace {

struct HangUp {
    std::uint32_t handle = 0;
    DWORD goesAt = 0;
};

std::vector<HangUp> loadHangUps() {
    std::vector<HangUp> hangUps;
    for (const std::string& line : splitLines(readWholeFile(pathOf(L"ras-hangups.txt")))) {
        char* end = nullptr;
        const auto handle = static_cast<std::uint32_t>(std::strtoul(line.c_str(), &end, 10));
        hangUps.push_back({handle, static_cast<DWORD>(std::strtoul(end, nullptr, 10))});
    }
    return hangUps;
}

void saveHangUps(const std::vector<HangUp>& hangUps) {
    std::string content;
    for (const HangUp& hangUp : hangUps) {
        content += std::to_string(hangUp.handle) + " " + std::to_string(hangUp.goesAt) + "\r\n";
    }
    writeFile(pathOf(L"ras-hangups.txt"), content, false);
}

std::vector<SimConnection> readConnections() {
    std::vector<SimConnection> connections;
    for (const std::string& line : splitLines(readWholeFile(pathOf(L"ras-state.txt")))) {
        const auto blank = line.find(' ');
        if (blank == std::string::npos) {
            continue;
        }
        SimConnection connection;
        connection.handle = static_cast<std::uint32_t>(std::strtoul(line.substr(0, blank).c_str(), nullptr, 10));
        const auto tab = line.find('\t', blank + 1);
        connection.entryName = line.substr(blank + 1, tab == std::string::npos ? std::string::npos : tab - blank - 1);
        if (tab != std::string::npos) {
            connection.tunnelAddress = line.substr(tab + 1);
        }
        connections.push_back(connection);
    }
    return connections;
}

}  // namespace

std::vector<SimConnection> loadConnections() {
    std::vector<SimConnection> connections = readConnections();
    std::vector<HangUp> hangUps = loadHangUps();
    const DWORD now = GetTickCount();
    std::vector<HangUp> lingering;
    bool ended = false;
    for (const HangUp& hangUp : hangUps) {
        if (static_cast<LONG>(now - hangUp.goesAt) < 0) {
            lingering.push_back(hangUp);
            continue;
        }
        ended = true;
        for (auto it = connections.begin(); it != connections.end(); ++it) {
            if (it->handle == hangUp.handle) {
                connections.erase(it);
                break;
            }
        }
    }
    if (ended) {
        saveConnections(connections);
        saveHangUps(lingering);
    }
    return connections;
}

bool beginHangUp(std::uint32_t handle) {
    const auto connections = loadConnections();
    bool listed = false;
    for (const SimConnection& connection : connections) {
        listed = listed || connection.handle == handle;
    }
    if (!listed || hangingUp(handle)) {
        return listed;
    }
    std::vector<HangUp> hangUps = loadHangUps();
    hangUps.push_back({handle, GetTickCount() + kHangUpLingerMs});
    saveHangUps(hangUps);
    return true;
}

bool hangingUp(std::uint32_t handle) {
    for (const HangUp& hangUp : loadHangUps()) {
        if (hangUp.handle == handle) {
            return true;
        }
    }
    return false;
}

void saveConnections(const std::vector<SimConnection>& connections) {
    std::string content;
    for (const SimConnection& connection : connections) {
        content += std::to_string(connection.handle) + " " + connection.entryName +
                   (connection.tunnelAddress.empty() ? "" : "\t" + connection.tunnelAddress) + "\r\n";
    }
    writeFile(pathOf(L"ras-state.txt"), content, false);
}

void appendJournal(const std::string& line) {
    const std::vector<std::string> starters = ancestry();
    // The stand-ins run side by side (a dial while the policy tool's netsh steps go on), and
    // Wine's appends from two processes can land on the same place: one at a time. The starters'
    // line goes in the same turn, so that both files keep one order.
    const UniqueHandle turn(CreateMutexW(nullptr, FALSE, L"VelmoraSimJournal"));
    const DWORD waited = turn.get() != nullptr ? WaitForSingleObject(turn.get(), 10000) : WAIT_FAILED;
    const bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    writeFile(pathOf(L"journal.txt"), line + "\r\n", true);
    writeFile(pathOf(L"journal-starters.txt"),
              starters[0] + "\t" + starters[1] + "\t" + starters[2] + "\t" + line + "\r\n", true);
    writeFile(pathOf(L"journal-times.txt"), std::to_string(GetTickCount()) + "\r\n", true);
    if (held) {
        ReleaseMutex(turn.get());
    }
}

std::vector<std::string> readJournal() {
    return splitLines(readWholeFile(pathOf(L"journal.txt")));
}

std::vector<JournalEntry> readJournalStarters() {
    std::vector<JournalEntry> entries;
    for (const std::string& text : splitLines(readWholeFile(pathOf(L"journal-starters.txt")))) {
        JournalEntry entry;
        std::size_t start = 0;
        for (std::string* name : {&entry.program, &entry.parent, &entry.grandparent}) {
            const std::size_t tab = text.find('\t', start);
            if (tab == std::string::npos) {
                break;
            }
            *name = text.substr(start, tab - start);
            start = tab + 1;
        }
        entry.line = text.substr(start);
        entries.push_back(entry);
    }
    return entries;
}

std::vector<TimedLine> readTimedJournal() {
    const std::vector<std::string> lines = readJournal();
    const std::vector<std::string> ticks = splitLines(readWholeFile(pathOf(L"journal-times.txt")));
    std::vector<TimedLine> timed;
    for (std::size_t i = 0; i < lines.size() && i < ticks.size(); ++i) {
        timed.push_back({lines[i], static_cast<std::uint32_t>(std::strtoul(ticks[i].c_str(), nullptr, 10))});
    }
    return timed;
}

RasdialScenario loadRasdialScenario() {
    RasdialScenario scenario;
    const auto lines = splitLines(readWholeFile(pathOf(L"rasdial-scenario.txt")));
    if (lines.empty()) {
        return scenario;
    }
    const std::string& line = lines.front();
    const auto first = line.find(' ');
    scenario.connects = line.substr(0, first) != "fail";
    scenario.tunnelAddress.clear();
    if (first == std::string::npos) {
        return scenario;
    }
    const auto second = line.find(' ', first + 1);
    scenario.seconds = std::atoi(line.substr(first + 1, second - first - 1).c_str());
    if (second != std::string::npos) {
        const std::string third = line.substr(second + 1);
        if (scenario.connects) {
            scenario.tunnelAddress = third;
        } else {
            scenario.errorCode = static_cast<std::uint32_t>(std::strtoul(third.c_str(), nullptr, 10));
        }
    }
    return scenario;
}

IpsecStore loadIpsecStore() {
    return parseIpsecStore(readWholeFile(pathOf(L"ipsec-store.txt")));
}

namespace {

constexpr const wchar_t* kLocalStore = L"SOFTWARE\\Policies\\Microsoft\\Windows\\IPSec\\Policy\\Local";

// What netsh's store keeps in the registry of the assignment: ActivePolicy names the key of the
// assigned policy, and that key its name.
void mirrorAssignment(const IpsecStore& store) {
    HKEY local = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLocalStore, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &local, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    (void)RegDeleteValueW(local, L"ActivePolicy");
    for (std::size_t i = 0; i < store.policies.size(); ++i) {
        if (!store.policies[i].assigned) {
            continue;
        }
        const std::wstring name = L"ipsecPolicy{" + std::to_wstring(i) + L"}";
        const std::wstring path = std::wstring(kLocalStore) + L"\\" + name;
        HKEY policy = nullptr;
        if (RegCreateKeyExW(local, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &policy, nullptr) ==
            ERROR_SUCCESS) {
            const std::wstring policyName = fromUtf8(store.policies[i].name);
            (void)RegSetValueExW(policy, L"ipsecName", 0, REG_SZ, reinterpret_cast<const BYTE*>(policyName.c_str()),
                                 static_cast<DWORD>((policyName.size() + 1) * sizeof(wchar_t)));
            (void)RegCloseKey(policy);
            (void)RegSetValueExW(local, L"ActivePolicy", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        }
    }
    (void)RegCloseKey(local);
}

}  // namespace

void saveIpsecStore(const IpsecStore& store) {
    mirrorAssignment(store);
    const std::wstring draft = pathOf(L"ipsec-store.new");
    writeFile(draft, printIpsecStore(store), false);
    // A store that was not put in place would lose the step: try again while something else has
    // the old one open for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (MoveFileExW(draft.c_str(), pathOf(L"ipsec-store.txt").c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return;
        }
        Sleep(20);
    }
}

std::string loadNetshFailure() {
    const std::vector<std::string> lines = splitLines(readWholeFile(pathOf(L"netsh-fails.txt")));
    return lines.empty() ? std::string() : lines.front();
}

void saveNetshFailure(const std::string& commandStart) {
    writeFile(pathOf(L"netsh-fails.txt"), commandStart + "\r\n", false);
}

std::uint32_t loadStatusFailure() {
    const std::vector<std::string> lines = splitLines(readWholeFile(pathOf(L"ras-status-fails.txt")));
    return lines.empty() ? 0 : static_cast<std::uint32_t>(std::strtoul(lines.front().c_str(), nullptr, 10));
}

void saveStatusFailure(std::uint32_t error) {
    writeFile(pathOf(L"ras-status-fails.txt"), std::to_string(error) + "\r\n", false);
}

void saveRasdialScenario(const RasdialScenario& scenario) {
    std::string line = std::string(scenario.connects ? "connect" : "fail") + " " + std::to_string(scenario.seconds);
    if (scenario.connects && !scenario.tunnelAddress.empty()) {
        line += " " + scenario.tunnelAddress;
    } else if (!scenario.connects) {
        line += " " + std::to_string(scenario.errorCode);
    }
    writeFile(pathOf(L"rasdial-scenario.txt"), line + "\r\n", false);
}

int loadPolicyToolSeconds() {
    const std::vector<std::string> lines = splitLines(readWholeFile(pathOf(L"policy-tool-seconds.txt")));
    return lines.empty() ? 0 : std::atoi(lines.front().c_str());
}

void savePolicyToolSeconds(int seconds) {
    writeFile(pathOf(L"policy-tool-seconds.txt"), std::to_string(seconds) + "\r\n", false);
}

}  // namespace velmora::sim
