#include "platform/win32/win32_log_file.h"

#include <windows.h>

#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_shell_folders.h"

namespace velmora {

namespace {

constexpr const wchar_t* kPreviousLogSuffix = L".1";
constexpr wchar_t kByteOrderMark = 0xFEFF;

bool isReparsePoint(const BY_HANDLE_FILE_INFORMATION& information) {
    return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The log's folder held open, made when it is missing; INVALID_HANDLE_VALUE when it cannot be
// opened or is a junction or link to elsewhere. Held without sharing its deletion, it cannot be
// renamed or replaced by a link while the log is written and moved inside it: the same user's
// programs without elevation can change the folder, and this program writes with its own rights.
HANDLE holdFolder(const std::wstring& folder) {
    const auto open = [&] {
        return CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE held = open();
    if (held == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND &&
        CreateDirectoryW(folder.c_str(), nullptr)) {
        held = open();
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    if (held != INVALID_HANDLE_VALUE &&
        (!GetFileInformationByHandle(held, &information) || isReparsePoint(information) ||
         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)) {
        (void)CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }
    return held;
}

// The log opened for writing, shared with every reader and writer so that an editor can open it
// meanwhile; INVALID_HANDLE_VALUE when it cannot be opened, or when it is a link to another file
// (a reparse point, or a second name of a file that lies elsewhere), which is never written.
HANDLE openLog(const std::wstring& log) {
    HANDLE file = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    if (file != INVALID_HANDLE_VALUE && (!GetFileInformationByHandle(file, &information) ||
                                         isReparsePoint(information) || information.nNumberOfLinks != 1)) {
        (void)CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    return file;
}

// Writes the line at the end of the file in one piece, after the byte-order mark when the file
// is empty. What a full disk lets through of it is taken back: the file holds whole lines only.
void appendWhole(HANDLE file, DWORD size, const std::wstring& line) {
    const std::wstring text = size == 0 ? kByteOrderMark + line : line;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        return;
    }
    DWORD written = 0;
    if (!WriteFile(file, text.data(), bytes, &written, nullptr) || written != bytes) {
        (void)SetFilePointer(file, static_cast<LONG>(size), nullptr, FILE_BEGIN);
        (void)SetEndOfFile(file);
    }
}

}  // namespace

Win32LogFile::Win32LogFile(const std::string& folder, const std::string& fileName)
    : folder_(widen(folder)), name_(L"\\" + widen(fileName)) {}

const std::wstring& Win32LogFile::folder() {
    if (!folder_) {
        folder_ = velmoraLocalDataFolder();
    }
    return *folder_;
}

std::string Win32LogFile::path() {
    return folder().empty() ? std::string() : narrow(folder() + name_);
}

void Win32LogFile::append(const std::string& text) {
    if (folder().empty()) {
        return;
    }
    const UniqueHandle folderHeld(holdFolder(folder()));
    if (folderHeld.get() == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::wstring log = folder() + name_;
    const std::wstring line = widen(text) + L"\r\n";
    {
        const UniqueHandle file(openLog(log));
        if (file.get() == INVALID_HANDLE_VALUE) {
            return;
        }
        const DWORD size = GetFileSize(file.get(), nullptr);
        if (size == INVALID_FILE_SIZE) {
            return;
        }
        if (size == 0 || size + line.size() * sizeof(wchar_t) <= kLogFileLimitBytes) {
            appendWhole(file.get(), size, line);
            return;
        }
    }
    // Full: the log becomes the previous one and the line starts a new log. When the previous
    // one cannot be replaced (a program holds it), the line goes on into the full log rather
    // than be lost. The move replaces the previous log's name in the held folder, whatever lies
    // behind it; nothing is written through it.
    (void)MoveFileExW(log.c_str(), (log + kPreviousLogSuffix).c_str(), MOVEFILE_REPLACE_EXISTING);
    const UniqueHandle file(openLog(log));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return;
    }
    const DWORD size = GetFileSize(file.get(), nullptr);
    if (size != INVALID_FILE_SIZE) {
        appendWhole(file.get(), size, line);
    }
}

}  // namespace velmora
