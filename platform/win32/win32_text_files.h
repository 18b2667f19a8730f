// TextFiles over CreateFileW, ReadFile and WriteFile, converting with the ANSI code page.
#pragma once

#include "platform/text_files.h"

namespace velmora {

class Win32TextFiles : public TextFiles {
public:
    bool writeLines(const std::string& path, const std::vector<std::string>& lines) override;
    TextFileContents readText(const std::string& path) override;
};

}  // namespace velmora
