// Conversions at the Win32 boundary: UTF-8 inside the program, UTF-16 for the wide APIs,
// the ANSI code page for the remote-access records and the files.
#pragma once

#include <string>

namespace velmora {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// Text in the system's ANSI code page (GBK on Simplified Chinese Windows) to UTF-8.
std::string ansiToUtf8(const std::string& ansi);

// UTF-8 text in the system's ANSI code page; a character the code page lacks becomes "?".
std::string utf8ToAnsi(const std::string& utf8);

}  // namespace velmora
