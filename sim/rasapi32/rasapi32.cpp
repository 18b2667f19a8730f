// Stand-in for the remote-access service's rasapi32.dll, loaded in place of Wine's with
// WINEDLLOVERRIDES=rasapi32=n. It answers from the simulated state and checks record and
// buffer sizes as the real service does: too small a buffer is an error, never an overrun.
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sim/sim_state.h"

namespace {

constexpr DWORD kErrorBufferTooSmall = 603;
constexpr DWORD kErrorInvalidSize = 632;

// The 412-byte connection record: the one layout this stand-in serves.
struct RasConnRecord {
    DWORD dwSize;
    HANDLE hrasconn;
    char szEntryName[257];
    char szDeviceType[17];
    char szDeviceName[129];
};
static_assert(sizeof(RasConnRecord) == 412, "record layout");

// The 160-byte connection-status record: the one layout this stand-in serves.
struct RasConnStatusRecord {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    char szDeviceType[17];
    char szDeviceName[129];
};
static_assert(sizeof(RasConnStatusRecord) == 160, "record layout");

constexpr DWORD kConnected = 0x2000;     // RASCS_Connected
constexpr DWORD kDisconnected = 0x2001;  // RASCS_Disconnected

// The 264-byte entry-name record: the one layout this stand-in serves.
struct RasEntryNameRecord {
    DWORD dwSize;
    char szEntryName[257];
};
static_assert(sizeof(RasEntryNameRecord) == 264, "record layout");

std::string toAnsi(const std::string& utf8) {
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), wideLength);
    const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), ansiLength, nullptr, nullptr);
    return ansi.c_str();
}

// What the service says of the codes the stand-in rasdial fails with in the tests, in the
// system's language as the real one does.
const char* errorDescription(UINT code) {
    switch (code) {
    case 623: return "找不到此连接的电话簿项。";
    case 691: return "由于域上的用户名和/或密码无效，访问被拒绝。";
    case 789: return "L2TP 连接尝试失败，因为安全层在与远程计算机的初始协商过程中遇到一个处理错误。";
    case 800: return "无法建立 VPN 连接。VPN 服务器可能无法访问。";
    case 809: return "无法建立计算机与 VPN 服务器之间的网络连接，因为远程服务器未响应。";
    case 868: return "无法建立远程连接，因为远程访问服务器的名称无法解析。";
    default: return nullptr;
    }
}

// The PPP IP projection record in each layout the service knows: 24 bytes with the client's
// address only, 40 with the server's too, 48 with the IPCP options.
constexpr DWORD kPppIpSizes[] = {24, 40, 48};
constexpr DWORD kRaspPppIp = 0x8021;
constexpr DWORD kErrorProtocolNotConfigured = 731;

void copyName(char* target, std::size_t capacity, const std::string& utf8) {
    const std::string ansi = toAnsi(utf8);
    const std::size_t length = ansi.size() < capacity - 1 ? ansi.size() : capacity - 1;
    std::memcpy(target, ansi.data(), length);
    target[length] = '\0';
}

// The 60-byte statistics record.
struct RasStatsRecord {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD framesErrorsRatiosAndSpeed[11];
    DWORD dwConnectDuration;
};
static_assert(sizeof(RasStatsRecord) == 60, "record layout");

// When this process first asked after each listed connection: the stand-in's connect time. A
// connection that is no longer listed is forgotten, so that a handle given out again starts anew.
std::map<std::uint32_t, DWORD>& connectTicks() {
    static std::map<std::uint32_t, DWORD> ticks;
    return ticks;
}

void forgetUnlisted(const std::vector<velmora::sim::SimConnection>& connections) {
    auto& ticks = connectTicks();
    for (auto it = ticks.begin(); it != ticks.end();) {
        bool listed = false;
        for (const auto& connection : connections) {
            listed = listed || connection.handle == it->first;
        }
        it = listed ? std::next(it) : ticks.erase(it);
    }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(void* lprasconn, DWORD* lpcb,
                                                                   DWORD* lpcConnections) {
    if (lprasconn == nullptr || lpcb == nullptr || lpcConnections == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto* records = static_cast<RasConnRecord*>(lprasconn);
    if (records[0].dwSize != sizeof(RasConnRecord)) {
        return kErrorInvalidSize;
    }
    const auto connections = velmora::sim::loadConnections();
    forgetUnlisted(connections);
    const DWORD needed = static_cast<DWORD>(connections.size() * sizeof(RasConnRecord));
    *lpcConnections = static_cast<DWORD>(connections.size());
    if (*lpcb < needed) {
        *lpcb = needed;
        return kErrorBufferTooSmall;
    }
    *lpcb = needed;
    for (std::size_t i = 0; i < connections.size(); ++i) {
        RasConnRecord& record = records[i];
        std::memset(&record, 0, sizeof record);
        record.dwSize = sizeof(RasConnRecord);
        record.hrasconn = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(connections[i].handle));
        copyName(record.szEntryName, sizeof record.szEntryName, connections[i].entryName);
        copyName(record.szDeviceType, sizeof record.szDeviceType, "vpn");
        copyName(record.szDeviceName, sizeof record.szDeviceName, "WAN Miniport (L2TP)");
    }
    return 0;
}

// Lists the simulated phonebook whatever phonebook is named.
extern "C" __declspec(dllexport) DWORD WINAPI RasEnumEntriesA(const char*, const char*,
                                                               void* lprasentryname, DWORD* lpcb, DWORD* lpcEntries) {
    if (lprasentryname == nullptr || lpcb == nullptr || lpcEntries == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto* records = static_cast<RasEntryNameRecord*>(lprasentryname);
    if (records[0].dwSize != sizeof(RasEntryNameRecord)) {
        return kErrorInvalidSize;
    }
    const auto names = velmora::sim::loadEntries();
    const DWORD needed = static_cast<DWORD>(names.size() * sizeof(RasEntryNameRecord));
    *lpcEntries = static_cast<DWORD>(names.size());
    if (*lpcb < needed) {
        *lpcb = needed;
        return kErrorBufferTooSmall;
    }
    *lpcb = needed;
    for (std::size_t i = 0; i < names.size(); ++i) {
        RasEntryNameRecord& record = records[i];
        std::memset(&record, 0, sizeof record);
        record.dwSize = sizeof(RasEntryNameRecord);
        copyName(record.szEntryName, sizeof record.szEntryName, names[i]);
    }
    return 0;
}

// The connection is not gone when the call returns: it stays listed, being ended, for a moment.
extern "C" __declspec(dllexport) DWORD WINAPI RasHangUpA(HANDLE hrasconn) {
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hrasconn));
    velmora::sim::appendJournal("RasHangUpA " + std::to_string(handle));
    return velmora::sim::beginHangUp(handle) ? 0 : ERROR_INVALID_HANDLE;
}

// A connection the service no longer lists is an invalid handle.
extern "C" __declspec(dllexport) DWORD WINAPI RasGetConnectStatusA(HANDLE hrasconn, void* lprasconnstatus) {
    auto* status = static_cast<RasConnStatusRecord*>(lprasconnstatus);
    if (status == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (status->dwSize != sizeof(RasConnStatusRecord)) {
        return kErrorInvalidSize;
    }
    if (const std::uint32_t failure = velmora::sim::loadStatusFailure()) {
        return failure;
    }
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hrasconn));
    for (const auto& connection : velmora::sim::loadConnections()) {
        if (connection.handle == handle) {
            std::memset(status, 0, sizeof *status);
            status->dwSize = sizeof(RasConnStatusRecord);
            status->rasconnstate = velmora::sim::hangingUp(handle) ? kDisconnected : kConnected;
            copyName(status->szDeviceType, sizeof status->szDeviceType, "vpn");
            copyName(status->szDeviceName, sizeof status->szDeviceName, "WAN Miniport (L2TP)");
            return 0;
        }
    }
    return ERROR_INVALID_HANDLE;
}

// Counts from the first question after a connection; it sends a byte every 8 milliseconds and
// receives one every 2.
extern "C" __declspec(dllexport) DWORD WINAPI RasGetConnectionStatistics(HANDLE hrasconn, void* lpStatistics) {
    auto* record = static_cast<RasStatsRecord*>(lpStatistics);
    if (record == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (record->dwSize != sizeof(RasStatsRecord)) {
        return kErrorInvalidSize;
    }
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hrasconn));
    const auto connections = velmora::sim::loadConnections();
    forgetUnlisted(connections);
    for (const auto& connection : connections) {
        if (connection.handle == handle) {
            const DWORD now = GetTickCount();
            const DWORD since = connectTicks().emplace(handle, now).first->second;
            std::memset(record, 0, sizeof *record);
            record->dwSize = sizeof(RasStatsRecord);
            record->dwConnectDuration = now - since;
            record->dwBytesXmited = record->dwConnectDuration / 8;
            record->dwBytesRcved = record->dwConnectDuration / 2;
            return 0;
        }
    }
    return ERROR_INVALID_HANDLE;
}

// Answers with the address the stand-in rasdial gave the connection; a connection that has none
// has not finished its IP projection.
extern "C" __declspec(dllexport) DWORD WINAPI RasGetProjectionInfoA(HANDLE hrasconn, DWORD projection, void* info,
                                                                     DWORD* lpcb) {
    if (info == nullptr || lpcb == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (projection != kRaspPppIp) {
        return kErrorProtocolNotConfigured;
    }
    DWORD size = 0;
    std::memcpy(&size, info, sizeof size);
    bool known = false;
    for (const DWORD layout : kPppIpSizes) {
        known = known || size == layout;
    }
    if (!known) {
        return kErrorInvalidSize;
    }
    if (*lpcb < size) {
        *lpcb = size;
        return kErrorBufferTooSmall;
    }
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(hrasconn));
    for (const auto& connection : velmora::sim::loadConnections()) {
        if (connection.handle != handle) {
            continue;
        }
        if (connection.tunnelAddress.empty()) {
            return kErrorProtocolNotConfigured;
        }
        auto* const record = static_cast<unsigned char*>(info);
        std::memset(record + sizeof size, 0, size - sizeof size);
        copyName(reinterpret_cast<char*>(record + 2 * sizeof(DWORD)), 16, connection.tunnelAddress);
        return 0;
    }
    return ERROR_INVALID_HANDLE;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasGetErrorStringA(UINT code, LPSTR buffer, DWORD size) {
    const char* description = errorDescription(code);
    if (description == nullptr || buffer == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string ansi = toAnsi(description);
    if (ansi.size() + 1 > size) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return 0;
}
