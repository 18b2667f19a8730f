// LogFile as velmora.log in the Velmora folder of the user's local application data (or a log of
// another name in a given folder), the full log set aside under its name with ".1" added. The file is UTF-16 with its byte-order mark: Notepad of every
// Windows since 2000 reads that mark and shows the Chinese right whatever the ANSI code page,
// where GBK would turn to garbage on any other code page and UTF-8 needs a newer Notepad's guess.
#pragma once

#include <optional>
#include <string>

#include "platform/log_file.h"

namespace velmora {

class Win32LogFile : public LogFile {
public:
    // The log in <local application data>\Velmora, found at the first use.
    Win32LogFile() = default;
    // The log of that file name in the given folder (a full path, UTF-8), which need not exist yet.
    explicit Win32LogFile(const std::string& folder, const std::string& fileName = "velmora.log");

    void append(const std::string& line) override;
    std::string path() override;

private:
    // The log's folder, named once; empty when the shell cannot name it.
    const std::wstring& folder();

    std::optional<std::wstring> folder_;
    std::wstring name_ = L"\\velmora.log";  // with its backslash in front
};

}  // namespace velmora
