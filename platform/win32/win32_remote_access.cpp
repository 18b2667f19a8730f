#include "platform/win32/win32_remote_access.h"

#include <windows.h>
#include <ras.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

// The connection record in its oldest 412-byte form, which every Windows since NT 4 accepts.
struct RasConnRecord {
    DWORD dwSize;
    HRASCONN hrasconn;
    char szEntryName[257];
    char szDeviceType[17];
    char szDeviceName[129];
};
static_assert(sizeof(RasConnRecord) == 412, "the service checks dwSize against this layout");

// One record more than the buffer size admits: the service is told of 64, so it never
// writes the last one, and more than 64 connections is its buffer error.
constexpr std::size_t kRecords = 65;
constexpr DWORD kListed = 64;

// The entry-name record in its oldest 264-byte form.
struct RasEntryNameRecord {
    DWORD dwSize;
    char szEntryName[257];
};
static_assert(sizeof(RasEntryNameRecord) == 264, "the service checks dwSize against this layout");

constexpr DWORD kEntryRecords = 256;

// The PPP IP projection record in its 40-byte form (client and server address, without the
// IPCP options Windows 2000 added), which Windows 2000 and every later one accept.
struct RasPppIpRecord {
    DWORD dwSize;
    DWORD dwError;
    char szIpAddress[16];
    char szServerIpAddress[16];
};
static_assert(sizeof(RasPppIpRecord) == 40, "the service checks dwSize against this layout");

using GetProjectionInfo = DWORD WINAPI(HRASCONN, RASPROJECTION, LPVOID, LPDWORD);

// The connection-status record in its oldest 160-byte form.
struct RasConnStatusRecord {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    char szDeviceType[17];
    char szDeviceName[129];
};
static_assert(sizeof(RasConnStatusRecord) == 160, "the service checks dwSize against this layout");

using GetConnectStatus = DWORD WINAPI(HRASCONN, RasConnStatusRecord*);

// The statistics record of Windows 2000 (60 bytes), the only form there is.
struct RasStatsRecord {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD framesErrorsRatiosAndSpeed[11];  // not shown
    DWORD dwConnectDuration;               // in milliseconds
};
static_assert(sizeof(RasStatsRecord) == 60, "the service checks dwSize against this layout");

using GetConnectionStatistics = DWORD WINAPI(HRASCONN, RasStatsRecord*);

constexpr std::uint32_t kFirstRemoteAccessCode = 600;
constexpr std::uint32_t kLastRemoteAccessCode = 999;

// The system's texts end in a line end, which a message of the program's own places itself.
std::string withoutTrailingSpace(std::string text) {
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    return text;
}

// A name field cut at its first NUL, or at the field's end when the service left none.
template <std::size_t N>
std::string nameOf(const char (&field)[N]) {
    return ansiToUtf8(std::string(field, strnlen(field, N)));
}

}  // namespace

ConnectionList Win32RemoteAccess::activeConnections() {
    RasConnRecord records[kRecords] = {};
    records[0].dwSize = sizeof(RasConnRecord);
    DWORD bytes = kListed * sizeof(RasConnRecord);
    DWORD count = 0;
    ConnectionList list;
    auto* enumConnections = library_.function<decltype(RasEnumConnectionsA)>("RasEnumConnectionsA");
    if (enumConnections == nullptr) {
        list.status = ERROR_PROC_NOT_FOUND;
        return list;
    }
    list.status = enumConnections(reinterpret_cast<LPRASCONNA>(records), &bytes, &count);
    if (list.status != 0) {
        return list;
    }
    // Trust the count no further than the buffer the service was given.
    count = std::min(count, kListed);
    for (DWORD i = 0; i < count; ++i) {
        list.connections.push_back({reinterpret_cast<RasHandle>(records[i].hrasconn), nameOf(records[i].szEntryName)});
    }
    return list;
}

std::vector<std::string> Win32RemoteAccess::phonebookEntries() {
    std::vector<std::string> names;
    auto* enumEntries = library_.function<decltype(RasEnumEntriesA)>("RasEnumEntriesA");
    if (enumEntries == nullptr) {
        return names;
    }
    std::vector<RasEntryNameRecord> records(kEntryRecords);
    records[0].dwSize = sizeof(RasEntryNameRecord);
    DWORD bytes = kEntryRecords * sizeof(RasEntryNameRecord);
    DWORD count = 0;
    const DWORD status =
        enumEntries(nullptr, nullptr, reinterpret_cast<LPRASENTRYNAMEA>(records.data()), &bytes, &count);
    if (status != 0) {
        return names;
    }
    // Trust the count no further than the records the service was given.
    count = std::min(count, kEntryRecords);
    for (DWORD i = 0; i < count; ++i) {
        names.push_back(nameOf(records[i].szEntryName));
    }
    return names;
}

void Win32RemoteAccess::hangUp(RasHandle handle) {
    if (auto* hangUpConnection = library_.function<decltype(RasHangUpA)>("RasHangUpA")) {
        (void)hangUpConnection(reinterpret_cast<HRASCONN>(handle));
    }
}

std::string Win32RemoteAccess::connectionAddress(RasHandle handle) {
    auto* const getProjectionInfo = library_.function<GetProjectionInfo>("RasGetProjectionInfoA");
    if (getProjectionInfo == nullptr || handle == 0) {
        return {};
    }
    RasPppIpRecord record{};
    record.dwSize = sizeof record;
    DWORD bytes = sizeof record;
    if (getProjectionInfo(reinterpret_cast<HRASCONN>(handle), RASP_PppIp, &record, &bytes) != 0 ||
        record.dwError != 0) {
        return {};
    }
    return std::string(record.szIpAddress, strnlen(record.szIpAddress, sizeof record.szIpAddress));
}

ConnectionStatistics Win32RemoteAccess::connectionStatistics(RasHandle handle) {
    // Without the function or an answer from it the caller counts for itself.
    auto* const getStatistics = library_.function<GetConnectionStatistics>("RasGetConnectionStatistics");
    ConnectionStatistics statistics;
    if (getStatistics == nullptr || handle == 0) {
        return statistics;
    }
    RasStatsRecord record{};
    record.dwSize = sizeof record;
    if (getStatistics(reinterpret_cast<HRASCONN>(handle), &record) == 0) {
        statistics = {true, record.dwBytesXmited, record.dwBytesRcved, record.dwConnectDuration};
    }
    return statistics;
}

namespace {

constexpr std::uint32_t kConnectedState = 0x2000;  // RASCS_Connected

}  // namespace

Win32RemoteAccess::ConnectStatus Win32RemoteAccess::connectStatus(RasHandle handle) {
    auto* const getStatus = library_.function<GetConnectStatus>("RasGetConnectStatusA");
    if (getStatus == nullptr) {
        return {ERROR_PROC_NOT_FOUND, 0};
    }
    RasConnStatusRecord status{};
    status.dwSize = sizeof status;
    const DWORD error = getStatus(reinterpret_cast<HRASCONN>(handle), &status);
    return {error, error == 0 ? status.rasconnstate : 0};
}

// Any other error (out of memory, the service busy or not started yet) says nothing of the
// connection, which a moment later can be answered as connected.
GoneAnswer Win32RemoteAccess::connectionGone(RasHandle handle) {
    const ConnectStatus status = connectStatus(handle);
    if (status.error == ERROR_INVALID_HANDLE) {
        return GoneAnswer::gone;
    }
    return status.error == 0 ? GoneAnswer::stillThere : GoneAnswer::noAnswer;
}

ConnectedAnswer Win32RemoteAccess::connectionConnected(RasHandle handle) {
    const ConnectStatus status = connectStatus(handle);
    if (status.error == 0) {
        return status.state == kConnectedState ? ConnectedAnswer::connected : ConnectedAnswer::notConnected;
    }
    return status.error == ERROR_INVALID_HANDLE ? ConnectedAnswer::notConnected : ConnectedAnswer::noAnswer;
}

std::string Win32RemoteAccess::errorText(std::uint32_t code) {
    if (code >= kFirstRemoteAccessCode && code <= kLastRemoteAccessCode) {
        char text[512] = {};
        auto* serviceText = library_.function<decltype(RasGetErrorStringA)>("RasGetErrorStringA");
        if (serviceText == nullptr || serviceText(code, text, sizeof text) != 0) {
            return {};
        }
        return withoutTrailingSpace(ansiToUtf8(std::string(text, strnlen(text, sizeof text))));
    }
    wchar_t* system = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<LPWSTR>(&system), 0, nullptr);
    std::string described;
    if (length != 0 && system != nullptr) {
        described = withoutTrailingSpace(narrow(std::wstring(system, length)));
    }
    (void)LocalFree(system);
    return described;
}

}  // namespace velmora
