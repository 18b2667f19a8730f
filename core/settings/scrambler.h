// Scrambling of the two secrets in the settings file: each character's code in the ANSI code
// page plus its position, as two symbols per character, the whole line reversed. It hides a
// secret from a casual reader of the file; it is no encryption.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace velmora {

// The most characters a secret may have, and so the most pairs a stored line is read for.
constexpr std::size_t kMaxSecretChars = 200;

// The symbol of a nibble 0..15; the empty text for any other value.
std::string nibbleToSymbol(int nibble);

// The nibble a symbol stands for; 10 for any text that is not one of the sixteen symbols.
int symbolToNibble(const std::string& symbol);

// The two symbols of a value 0..255, the high nibble's first.
std::string byteToSymbols(int value);

// The stored line for a secret given as its ANSI codes, one byte per character. Nothing when the
// scheme cannot carry it: more than kMaxSecretChars characters, a code 0, or a code plus its
// position (from 1) above 255. Whatever it accepts, unscrambleText gives back unchanged.
std::optional<std::string> scrambleText(const std::string& codes);

// The ANSI codes a stored line (UTF-8, without its line end) holds, one byte per character.
// Pairs whose value minus their position falls outside 1..255 give no character; the first
// symbol of a line of odd length is ignored; a line of more than twice kMaxSecretChars
// characters, which the program never writes, holds nothing.
std::string unscrambleText(const std::string& line);

}  // namespace velmora
