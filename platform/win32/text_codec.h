// Conversions at the Win32 boundary: UTF-8 inside the program, UTF-16 for the wide APIs,
// the ANSI code page for the remote-access records and the files.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace velmora {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// Text in the system's ANSI code page (GBK on Simplified Chinese Windows) to UTF-8.
std::string ansiToUtf8(const std::string& ansi);

// The flags that keep WideCharToMultiByte from writing a look-alike ("e" for "é") in the code
// page, which would pass for what was typed; none for the code pages that refuse every flag
// (UTF-8, the system-wide option of newer Windows, among them).
DWORD noBestFitFlags(UINT codePage);

// UTF-8 text in the code page; a character the code page lacks becomes "?". Nothing when the
// conversion fails (a code page the system does not have).
std::optional<std::string> utf8ToCodePage(const std::string& utf8, UINT codePage);

// UTF-8 text in the system's ANSI code page; a character the code page lacks becomes "?", and a
// conversion that fails gives an empty text.
std::string utf8ToAnsi(const std::string& utf8);

}  // namespace velmora
