#include "platform/win32/win32_text_files.h"

#include <windows.h>

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

}  // namespace

bool Win32TextFiles::writeLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    const auto bytes = utf8ToCodePage(text, codePage_);
    if (!bytes) {
        return false;
    }

    const std::wstring target = widen(path);
    const std::wstring temporary = target + L".tmp";
    bool written = false;
    {
        const UniqueHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            return false;
        }
        written = writeAll(file.get(), *bytes);
    }
    if (!written ||
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        (void)DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
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
