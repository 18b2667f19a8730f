// TextFiles over CreateFileW, ReadFile and WriteFile, converting with the ANSI code page.
#pragma once

#include <windows.h>

#include "platform/text_files.h"

namespace velmora {

class Win32TextFiles : public TextFiles {
public:
    // The code page the files are in: the system's ANSI code page outside tests.
    explicit Win32TextFiles(UINT codePage = CP_ACP) : codePage_(codePage) {}

    // Writes a file beside the old one, then puts it in place with one replace, so that a
    // write that fails half-way (a full disk) leaves the old file whole.
    bool writeLines(const std::string& path, const std::vector<std::string>& lines) override;
    TextFileContents readText(const std::string& path) override;

private:
    UINT codePage_;
};

}  // namespace velmora
