#include "core/text/text.h"

namespace velmora {

namespace {

bool isContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Byte offset just past the character that starts at pos.
std::size_t nextCharStart(const std::string& s, std::size_t pos) {
    ++pos;
    while (pos < s.size() && isContinuationByte(static_cast<unsigned char>(s[pos]))) {
        ++pos;
    }
    return pos;
}

}  // namespace

std::size_t charCount(const std::string& utf8) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size(); pos = nextCharStart(utf8, pos)) {
        ++count;
    }
    return count;
}

std::vector<std::string> splitChars(const std::string& utf8) {
    std::vector<std::string> chars;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t next = nextCharStart(utf8, pos);
        chars.push_back(utf8.substr(pos, next - pos));
        pos = next;
    }
    return chars;
}

bool wellFormedUtf8(const std::string& text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (pos + length > text.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if (!isContinuationByte(next)) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string leftChars(const std::string& utf8, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < n && pos < utf8.size(); ++taken) {
        pos = nextCharStart(utf8, pos);
    }
    return utf8.substr(0, pos);
}

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string exitStatusText(std::uint32_t status) {
    if (status < 0x80000000u) {
        return std::to_string(status);
    }
    std::string hex = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        hex += "0123456789ABCDEF"[(status >> shift) & 0xF];
    }
    return hex;
}

}  // namespace velmora
