// Where a program without a console of its own writes for the one that started it: the standard
// output it was handed (a pipe or a file), else the console its caller runs in.
#pragma once

#include <string>

namespace velmora {

// Writes the text and a line break there, a pipe or file in the ANSI code page, a console as its
// characters; false when the caller has neither, and then nothing is written.
bool writeToCaller(const std::wstring& text);

}  // namespace velmora
