// TextFiles over CreateFileW, ReadFile and WriteFile, converting with the ANSI code page; each file
// written with a security descriptor for administrators and the system only.
#pragma once

#include <windows.h>

#include <string>

#include "platform/text_files.h"

namespace velmora {

// The descriptor every file of the program is created with (SDDL): owned by the administrators,
// full access for them and the system, nothing for anyone else, nothing inherited from the folder.
inline constexpr const wchar_t* kPrivateFileDescriptor = L"O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)";

class Win32TextFiles : public TextFiles {
public:
    // The code page the files are in: the system's ANSI code page outside tests.
    explicit Win32TextFiles(UINT codePage = CP_ACP) : codePage_(codePage) {}

    // Writes a new file beside the old one (a leftover of that name removed first, never written
    // through), then puts it in place with one replace, so that a write that fails half-way (a
    // full disk) leaves the old file whole.
    bool writeLines(const std::string& path, const std::vector<std::string>& lines) override;
    // A file that others can reach is written anew the same way, with the same bytes: a new file
    // of the program's own replaces one that another user may own or have linked elsewhere.
    FileAccess restrictAccess(const std::string& path) override;
    TextFileContents readText(const std::string& path) override;

private:
    UINT codePage_;
};

// True when the file (an open handle with READ_CONTROL) is owned by the administrators or the
// system and grants nothing to anyone else.
bool grantsOnlyAdministratorsAndSystem(HANDLE file);

// True when the volume that holds the path keeps permissions on its files.
bool volumeKeepsPermissions(const std::wstring& path);

}  // namespace velmora
