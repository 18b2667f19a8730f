// Whole text files in the system's ANSI code page with CR LF line ends: the user's settings file,
// which holds the secrets, and the phonebooks, which rasdial loads what they name from. Each is
// private: only the user this program runs for (the system, for the service), the administrators
// and the system may read or change it. Failures come back as results; nothing is thrown.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

// The most of a file readText reads; the program's own files are a few kilobytes.
constexpr std::size_t kMaxTextFileBytes = 1024 * 1024;

enum class ReadStatus { ok, notFound, failed };

// Where a file stands against the computer's other users.
enum class FileAccess {
    restricted,     // only this program's user, the administrators and the system can reach it
    restrictedNow,  // others could read or change it; it has been closed to them, bytes unchanged
    openToAll,      // its file system keeps no permissions (FAT32, say): every user can reach it
    notFound,
    failed,         // another user owns it, or others can reach it and it could not be closed to them
};

struct TextFileContents {
    ReadStatus status = ReadStatus::failed;
    std::string text;  // UTF-8, line ends as they are in the file; empty unless status is ok
};

class TextFiles {
public:
    virtual ~TextFiles() = default;

    // Creates the file (path in UTF-8), or replaces one of that name whole, with each line in the
    // ANSI code page followed by CR LF; a character the code page lacks is written as "?". The
    // file is private from its creation on. False when the text cannot be converted or the file
    // cannot be written completely; the file of that name is then left as it was.
    virtual bool writeLines(const std::string& path, const std::vector<std::string>& lines) = 0;

    // Closes an existing file of this program's user (or the administrators' or the system's) to
    // everyone else, keeping its bytes, unless it is closed already; a file another user owns is
    // left as it is (failed).
    virtual FileAccess restrictAccess(const std::string& path) = 0;

    // The file converted to UTF-8; of a file longer than kMaxTextFileBytes, the whole lines within
    // its first kMaxTextFileBytes. notFound when neither the file nor its folder exists; failed
    // when it exists but cannot be opened or read.
    virtual TextFileContents readText(const std::string& path) = 0;
};

}  // namespace velmora
