#include "platform/win32/win32_text_files.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <optional>
#include <vector>

#include "platform/win32/process_user.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

namespace {

bool writeAll(HANDLE file, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        DWORD chunk = 0;
        if (!WriteFile(file, bytes.data() + written, static_cast<DWORD>(bytes.size() - written), &chunk, nullptr) ||
            chunk == 0) {
            return false;
        }
        written += chunk;
    }
    return FlushFileBuffers(file) != FALSE;
}

// The end of the last whole line in the bytes: a CR or LF is never part of a double-byte
// character, so the cut splits none.
std::size_t endOfLastLine(const std::string& bytes) {
    const std::size_t last = bytes.find_last_of("\r\n");
    return last == std::string::npos ? 0 : last + 1;
}

// The private descriptor as CreateFileW takes it.
class PrivateDescriptor {
public:
    PrivateDescriptor() {
        const std::wstring user = processUserSid();
        if (user.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(privateFileDescriptor(user).c_str(),
                                                                                 SDDL_REVISION_1, &descriptor_, nullptr)) {
            descriptor_ = nullptr;
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~PrivateDescriptor() { (void)LocalFree(descriptor_); }
    PrivateDescriptor(const PrivateDescriptor&) = delete;
    PrivateDescriptor& operator=(const PrivateDescriptor&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_ = {};
};

// How many names beside the target a write tries before it gives up.
constexpr int kTemporaryNames = 16;

std::wstring temporaryName(const std::wstring& target, int attempt) {
    return target + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt) + L".tmp";
}

// A new private file at a name beside the target that nothing holds yet, and that name; never
// one that exists (another user's, a link, a folder), which is left as it is.
HANDLE createPrivateBeside(const std::wstring& target, std::wstring& name) {
    PrivateDescriptor descriptor;
    if (descriptor.attributes() == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
        name = temporaryName(target, attempt);
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, descriptor.attributes(), CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        const DWORD error = GetLastError();
        if (file != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
                                             error != ERROR_ACCESS_DENIED)) {
            return file;
        }
    }
    return INVALID_HANDLE_VALUE;
}

// Writes the bytes into a private file beside the target, then puts it in the target's place.
bool replaceWithPrivate(const std::wstring& target, const std::string& bytes) {
    std::wstring temporary;
    bool written = false;
    {
        const UniqueHandle file(createPrivateBeside(target, temporary));
        if (file.get() == INVALID_HANDLE_VALUE) {
            return false;
        }
        written = writeAll(file.get(), bytes);
    }
    if (!written ||
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        (void)DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::wstring sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    const std::wstring name = text;
    (void)LocalFree(text);
    return name;
}

bool isUs(PSID sid, const std::wstring& userSid) {
    const std::wstring name = sidText(sid);
    return !name.empty() && (name == L"S-1-5-32-544" || name == L"S-1-5-18" || name == userSid);
}

// The root folder of the path's volume, with its backslash: "C:\" or "\\server\share\".
std::wstring volumeRoot(const std::wstring& path) {
    std::size_t end = 0;
    if (path.compare(0, 2, L"\\\\") == 0) {
        end = path.find(L'\\', path.find(L'\\', 2) + 1);
    } else {
        end = path.find(L'\\');
    }
    return end == std::wstring::npos ? path : path.substr(0, end + 1);
}

// The whole file, through a handle that is already open; nothing when it cannot be read or is
// longer than any file of the program.
std::optional<std::string> readAll(HANDLE file) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            return std::nullopt;
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, got);
        if (bytes.size() > kMaxTextFileBytes) {
            return std::nullopt;
        }
    }
}

}  // namespace

std::wstring firstTemporaryName(const std::wstring& target) {
    return temporaryName(target, 0);
}

std::wstring privateFileDescriptor(const std::wstring& userSid) {
    return L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + userSid + L")";
}

FileOwnership fileOwnership(HANDLE file, const std::wstring& userSid) {
    PSID owner = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &access, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    FileOwnership ownership;
    ownership.ownedByUs = isUs(owner, userSid);
    // No list at all grants everything to everyone; an entry that denies takes nothing away from
    // us; one that only its subfolders would inherit does not apply to a file.
    bool onlyOurs = access != nullptr && ownership.ownedByUs;
    for (DWORD i = 0; onlyOurs && i < access->AceCount; ++i) {
        ACE_HEADER* entry = nullptr;
        if (!GetAce(access, i, reinterpret_cast<void**>(&entry))) {
            onlyOurs = false;
        } else if (entry->AceType == ACCESS_ALLOWED_ACE_TYPE && (entry->AceFlags & INHERIT_ONLY_ACE) == 0) {
            onlyOurs = isUs(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, userSid);
        } else if (entry->AceType != ACCESS_DENIED_ACE_TYPE && (entry->AceFlags & INHERIT_ONLY_ACE) == 0) {
            onlyOurs = false;
        }
    }
    ownership.onlyOurs = onlyOurs;
    (void)LocalFree(descriptor);
    return ownership;
}

bool volumeKeepsPermissions(const std::wstring& path) {
    DWORD flags = 0;
    // A volume that cannot be asked is taken to keep them: the files are then closed as anywhere.
    if (!GetVolumeInformationW(volumeRoot(path).c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return true;
    }
    return (flags & FILE_PERSISTENT_ACLS) != 0;
}

bool Win32TextFiles::writeLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    const auto bytes = utf8ToCodePage(text, codePage_);
    return bytes && replaceWithPrivate(widen(path), *bytes);
}

FileAccess Win32TextFiles::restrictAccess(const std::string& path) {
    const std::wstring target = widen(path);
    std::optional<std::string> bytes;
    {
        const UniqueHandle file(CreateFileW(target.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileAccess::notFound
                                                                                  : FileAccess::failed;
        }
        if (!volumeKeepsPermissions(target)) {
            return FileAccess::openToAll;
        }
        const FileOwnership ownership = fileOwnership(file.get(), processUserSid());
        // Another user's file is theirs: it is not taken over as this user's own.
        if (!ownership.ownedByUs) {
            return FileAccess::failed;
        }
        // A second name for the file (a hard link) is a way in that its own permissions do not show.
        BY_HANDLE_FILE_INFORMATION information = {};
        if (GetFileInformationByHandle(file.get(), &information) && information.nNumberOfLinks == 1 &&
            ownership.onlyOurs) {
            return FileAccess::restricted;
        }
        bytes = readAll(file.get());
    }
    return bytes && replaceWithPrivate(target, *bytes) ? FileAccess::restrictedNow : FileAccess::failed;
}

TextFileContents Win32TextFiles::readText(const std::string& path) {
    const UniqueHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {missing ? ReadStatus::notFound : ReadStatus::failed, {}};
    }
    // Read until the end rather than trusting the size, but never past the limit: one byte more
    // than it tells a file that goes on, of which only the whole lines are kept.
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            return {ReadStatus::failed, {}};
        }
        if (got == 0) {
            break;
        }
        bytes.append(buffer, got);
        if (bytes.size() > kMaxTextFileBytes) {
            bytes.resize(endOfLastLine(bytes.substr(0, kMaxTextFileBytes)));
            break;
        }
    }
    return {ReadStatus::ok, ansiToUtf8(bytes)};
}

}  // namespace velmora
