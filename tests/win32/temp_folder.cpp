#include "tests/win32/temp_folder.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora::testing {

namespace {

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// The Unix path Wine gives a Windows one.
std::string unixPath(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
    const std::string result = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Looks every 50 milliseconds, for up to five seconds, whether the condition holds.
template <typename Condition>
bool within5Seconds(Condition condition) {
    for (int look = 0; look < 100; ++look) {
        if (condition()) {
            return true;
        }
        Sleep(50);
    }
    return condition();
}

}  // namespace

bool makeLinkedFolder(const std::wstring& target, const std::wstring& link) {
    runCommandLine("/bin/sh -c \"mkdir -p '" + unixPath(target) + "' && ln -s '" + unixPath(target) + "' '" +
                   unixPath(link) + "'\"");
    return within5Seconds([&] {
        const DWORD attributes = GetFileAttributesW(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    });
}

bool removeLinkedFolder(const std::wstring& target, const std::wstring& link) {
    // Only when there is something to remove: the Unix program could still be at work when the
    // next one makes them anew.
    if (!fileExists(link) && !fileExists(target)) {
        return true;
    }
    runCommandLine("/bin/sh -c \"rm -f '" + unixPath(link) + "'; rm -rf '" + unixPath(target) + "'\"");
    return within5Seconds([&] { return !fileExists(link) && !fileExists(target); });
}

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::wstring(base) + L"velmora-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) {
            break;
        }
    }
}

TempFolder::~TempFolder() {
    removeTree(path_);
}

std::optional<DWORD> runCommandLine(const std::string& commandLine) {
    std::wstring line = widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
        return std::nullopt;
    }
    // Wine starts a Unix program without a process to wait for, and the thread value it gives is
    // none of this program's: closing it would close a handle that something else here holds.
    if (info.hProcess == nullptr) {
        return std::nullopt;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    DWORD status = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &status)) {
        return std::nullopt;
    }
    return status;
}

std::set<std::wstring> grantedTo(PACL access) {
    std::set<std::wstring> sids;
    for (DWORD i = 0; access != nullptr && i < access->AceCount; ++i) {
        ACE_HEADER* entry = nullptr;
        if (GetAce(access, i, reinterpret_cast<void**>(&entry)) && entry->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            wchar_t* sid = nullptr;
            if (ConvertSidToStringSidW(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, &sid)) {
                sids.insert(sid);
                LocalFree(sid);
            }
        }
    }
    return sids;
}

std::set<std::wstring> grantedTo(const std::wstring& path) {
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &access,
                              nullptr, &descriptor) != ERROR_SUCCESS) {
        return {L"unreadable"};
    }
    std::set<std::wstring> sids = grantedTo(access);
    LocalFree(descriptor);
    return sids;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readBytes(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    if (file.get() == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full = path;
    return full.substr(0, full.find_last_of(L"\\/"));
}

std::optional<DWORD> handleCount(DWORD processId) {
    // The system's list of every handle: SystemHandleInformation (16) of NtQuerySystemInformation.
    struct HandleEntry {
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) {
        return std::nullopt;
    }
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<char> buffer(1 << 16);
    LONG status = 0;
    for (ULONG needed = 0; (status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
                           kInfoLengthMismatch;) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return std::nullopt;
    }
    const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entry = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(void*));
    DWORD count = 0;
    for (ULONG i = 0; i < entries; ++i) {
        count += entry[i].processId == processId ? 1 : 0;
    }
    return count;
}

}  // namespace velmora::testing
