// Stand-in for rasdial: journals its command line, then acts out the scenario of the simulated
// environment (sim_state.h): the entry named first on its command line is listed among the
// connections at once, as the remote-access service lists a connection being made; after the
// scenario's seconds it either stays, with a tunnel address brought up, or goes again and the
// dial fails. A connection hung up meanwhile ends the dial at once, as the user's disconnection.
// Like rasdial it refuses a line with more than three arguments that are not
// options, and a phonebook without the entry.
#include <windows.h>
#include <iphlpapi.h>
#include <raserror.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/command_line_arguments.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "sim/command_line_journal.h"
#include "sim/sim_state.h"

namespace {

constexpr int kBadArguments = 87;  // what rasdial reports when it cannot make sense of its arguments
constexpr DWORD kLookMs = 100;

// The entry, the user name and the password are the only arguments without a leading "/": a
// value split at a blank makes more, and rasdial refuses the line.
bool wellFormed(const std::vector<std::string>& arguments) {
    const auto positional = std::count_if(arguments.begin(), arguments.end(),
                                          [](const std::string& argument) { return argument.rfind('/', 0) != 0; });
    return positional >= 1 && positional <= 3;
}

// The phonebook named, a bare name looked for in the current folder as rasdial does, must hold the
// entry.
bool phonebookHoldsEntry(const std::vector<std::string>& arguments) {
    const std::string option = "/PHONEBOOK:";
    for (const std::string& argument : arguments) {
        if (_strnicmp(argument.c_str(), option.c_str(), option.size()) != 0) {
            continue;
        }
        const std::string name = argument.substr(option.size());
        const velmora::UniqueHandle file(CreateFileW(velmora::widen(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        std::string text(64 * 1024, '\0');
        DWORD read = 0;
        if (file.get() == INVALID_HANDLE_VALUE ||
            !ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
            return false;
        }
        text = "\r\n" + text.substr(0, read);
        return text.find("\r\n[" + arguments[0] + "]\r\n") != std::string::npos;
    }
    return true;
}

// The entry's connection, listed now; its handle.
std::uint32_t list(const std::string& entry) {
    auto connections = velmora::sim::loadConnections();
    std::uint32_t handle = 1;
    for (const auto& connection : connections) {
        if (connection.entryName == entry) {
            return connection.handle;
        }
        handle = std::max(handle, connection.handle + 1);
    }
    connections.push_back({handle, entry});
    velmora::sim::saveConnections(connections);
    return handle;
}

// Whether the connection is being hung up or gone.
bool hungUp(std::uint32_t handle) {
    if (velmora::sim::hangingUp(handle)) {
        return true;
    }
    for (const auto& connection : velmora::sim::loadConnections()) {
        if (connection.handle == handle) {
            return false;
        }
    }
    return true;
}

// The connection's PPP IP projection answers with the address from now on.
void giveAddress(const std::string& entry, const std::string& address) {
    auto connections = velmora::sim::loadConnections();
    for (auto& connection : connections) {
        if (connection.entryName == entry) {
            connection.tunnelAddress = address;
        }
    }
    velmora::sim::saveConnections(connections);
}

void unlist(const std::string& entry) {
    auto connections = velmora::sim::loadConnections();
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [&](const auto& connection) { return connection.entryName == entry; }),
                      connections.end());
    velmora::sim::saveConnections(connections);
}

// The address as GetIpAddrTable holds it (network order); nothing for a malformed text.
std::optional<DWORD> tableAddress(const std::string& dotted) {
    unsigned int a = 0, b = 0, c = 0, d = 0;
    char rest = 0;
    if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest) != 4 || a > 255 || b > 255 || c > 255 ||
        d > 255) {
        return std::nullopt;
    }
    return static_cast<DWORD>(a | b << 8 | c << 16 | d << 24);
}

bool hostHasAddress(DWORD address) {
    ULONG size = 0;
    (void)GetIpAddrTable(nullptr, &size, FALSE);
    std::vector<unsigned char> buffer(size + sizeof(MIB_IPADDRROW));
    size = static_cast<ULONG>(buffer.size());
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) {
        return false;
    }
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        if (table->table[i].dwAddr == address) {
            return true;
        }
    }
    return false;
}

// Adds the address to the loopback of the network namespace by a Unix command, and returns once
// the host lists it: Wine hands back no process to wait for when it starts a Unix program.
void bringUpAddress(const std::string& address) {
    const auto wanted = tableAddress(address);
    if (!wanted || hostHasAddress(*wanted)) {
        return;
    }
    std::wstring command = velmora::widen("/bin/sh -c \"ip addr add " + address + "/32 dev lo\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        return;
    }
    const velmora::UniqueHandle process(info.hProcess);
    const velmora::UniqueHandle thread(info.hThread);
    // Outside a private namespace the command is refused; give up after ten seconds.
    for (int i = 0; i < 200 && !hostHasAddress(*wanted); ++i) {
        Sleep(50);
    }
}

}  // namespace

int main() {
    velmora::sim::journalCommandLine();
    const std::vector<std::string> args = velmora::commandLineArguments();
    if (!wellFormed(args)) {
        return kBadArguments;
    }
    if (!phonebookHoldsEntry(args)) {
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    const velmora::sim::RasdialScenario scenario = velmora::sim::loadRasdialScenario();
    const std::uint32_t handle = list(args[0]);
    const DWORD total = static_cast<DWORD>(std::max(scenario.seconds, 0)) * 1000;
    for (DWORD waited = 0; waited < total; waited += kLookMs) {
        if (hungUp(handle)) {
            return ERROR_USER_DISCONNECTION;
        }
        Sleep(kLookMs);
    }
    if (!scenario.connects) {
        unlist(args[0]);
        return static_cast<int>(scenario.errorCode);
    }
    if (!scenario.tunnelAddress.empty()) {
        bringUpAddress(scenario.tunnelAddress);
        giveAddress(args[0], scenario.tunnelAddress);
    }
    return 0;
}
