// TextFiles over CreateFileW, ReadFile and WriteFile, converting with the ANSI code page; each file
// written with a security descriptor for the user this program runs for, the administrators and
// the system only.
#pragma once

#include <windows.h>

#include <string>

#include "platform/text_files.h"

namespace velmora {

// The descriptor every file of the program is created with (SDDL), for the user of this SID
// (the process's own): full access for the user, the administrators and the system, nothing for
// anyone else, nothing inherited from the folder. The owner is whoever creates it.
std::wstring privateFileDescriptor(const std::wstring& userSid);

// The name a write tries first for its new file beside the target: "<target>.<process id>.0.tmp";
// the next ones count on from there.
std::wstring firstTemporaryName(const std::wstring& target);

class Win32TextFiles : public TextFiles {
public:
    // The code page the files are in: the system's ANSI code page outside tests.
    explicit Win32TextFiles(UINT codePage = CP_ACP) : codePage_(codePage) {}

    // Writes a new file beside the old one under a name not in use (whatever lies at another
    // such name, a leftover or a folder, is never written through), then puts it in place with
    // one replace, so that a write that fails half-way (a full disk) leaves the old file whole.
    bool writeLines(const std::string& path, const std::vector<std::string>& lines) override;
    // A file that others can reach is written anew the same way, with the same bytes: a new file
    // of the program's own replaces one that has a second name elsewhere. A file another user owns
    // is never adopted.
    FileAccess restrictAccess(const std::string& path) override;
    TextFileContents readText(const std::string& path) override;

private:
    UINT codePage_;
};

// Who owns the file (an open handle with READ_CONTROL), and whether it grants anything to anyone
// but the user of userSid, the administrators and the system.
struct FileOwnership {
    bool ownedByUs = false;  // owned by that user, the administrators or the system
    bool onlyOurs = false;   // ownedByUs, and it grants nobody else anything
};
FileOwnership fileOwnership(HANDLE file, const std::wstring& userSid);

// True when the volume that holds the path keeps permissions on its files.
bool volumeKeepsPermissions(const std::wstring& path);

}  // namespace velmora
