// UTF-8 text helpers: where a rule counts characters, it counts them here, not bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Number of characters in a UTF-8 text; a stray byte that starts no character counts as one.
std::size_t charCount(const std::string& utf8);

// The characters of a UTF-8 text, each as its own UTF-8 text, in order.
std::vector<std::string> splitChars(const std::string& utf8);

// The first n characters of a UTF-8 text (all of it when it is shorter).
std::string leftChars(const std::string& utf8, std::size_t n);

// True when the bytes are well-formed UTF-8: no stray or missing continuation byte, no overlong
// form, no surrogate, nothing above U+10FFFF.
bool wellFormedUtf8(const std::string& text);

// The text without its leading and trailing blanks (spaces only, as text boxes are trimmed).
std::string trimBlanks(const std::string& text);

// A program's exit status as Windows documents it: an error code in decimal; an NTSTATUS or
// HRESULT (the top bit set) in hexadecimal, "0xC0000005".
std::string exitStatusText(std::uint32_t status);

}  // namespace velmora
