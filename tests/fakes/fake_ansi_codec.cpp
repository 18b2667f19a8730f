#include "tests/fakes/fake_ansi_codec.h"

#include <utility>

#include "core/text/text.h"

namespace velmora::testing {

namespace {

struct Mapping {
    const char* utf8;
    const char* ansi;
};

constexpr Mapping kTable[] = {
    {"€", "\x80"},      {"微", "\xCE\xA2"}, {"型", "\xD0\xCD"}, {"端", "\xB6\xCB"}, {"口", "\xBF\xDA"},
    {"密", "\xC3\xDC"}, {"码", "\xC2\xEB"}, {"张", "\xD5\xC5"}, {"三", "\xC8\xFD"}, {"公", "\xB9\xAB"},
    {"司", "\xCB\xBE"},
};

std::optional<std::string> charToAnsi(const std::string& c) {
    if (c.size() == 1 && static_cast<unsigned char>(c[0]) < 0x80) {
        return c;
    }
    for (const Mapping& m : kTable) {
        if (c == m.utf8) {
            return std::string(m.ansi);
        }
    }
    return std::nullopt;
}

// The character whose code starts at pos, and the code's length; nothing when none does.
std::optional<std::pair<std::string, std::size_t>> charAt(const std::string& ansi, std::size_t pos) {
    if (static_cast<unsigned char>(ansi[pos]) < 0x80) {
        return std::make_pair(ansi.substr(pos, 1), std::size_t{1});
    }
    for (const Mapping& m : kTable) {
        const std::string code(m.ansi);
        if (ansi.compare(pos, code.size(), code) == 0) {
            return std::make_pair(std::string(m.utf8), code.size());
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FakeAnsiCodec::toAnsi(const std::string& utf8) const {
    std::string ansi;
    for (const std::string& c : splitChars(utf8)) {
        const auto code = charToAnsi(c);
        if (!code) {
            return std::nullopt;
        }
        ansi += *code;
    }
    return ansi;
}

std::optional<std::string> FakeAnsiCodec::fromAnsi(const std::string& ansi) const {
    std::string utf8;
    for (std::size_t pos = 0; pos < ansi.size();) {
        const auto c = charAt(ansi, pos);
        if (!c) {
            return std::nullopt;
        }
        utf8 += c->first;
        pos += c->second;
    }
    return utf8;
}

std::string FakeAnsiCodec::toAnsiOrQuestionMarks(const std::string& utf8) const {
    std::string ansi;
    for (const std::string& c : splitChars(utf8)) {
        ansi += charToAnsi(c).value_or("?");
    }
    return ansi;
}

std::string FakeAnsiCodec::fromAnsiOrQuestionMarks(const std::string& ansi) const {
    std::string utf8;
    for (std::size_t pos = 0; pos < ansi.size();) {
        const auto c = charAt(ansi, pos);
        utf8 += c ? c->first : "?";
        pos += c ? c->second : 1;
    }
    return utf8;
}

}  // namespace velmora::testing
