// The system's ANSI code page (GBK on Simplified Chinese Windows): the files are written in
// it, and the settings scrambler works on its character codes.
#pragma once

#include <optional>
#include <string>

namespace velmora {

class AnsiCodec {
public:
    virtual ~AnsiCodec() = default;

    // The UTF-8 text in the ANSI code page; nothing when a character has no code of its own there
    // (no near look-alike is taken in its place).
    virtual std::optional<std::string> toAnsi(const std::string& utf8) const = 0;

    // Text in the ANSI code page as UTF-8; nothing when the bytes are not text in that code page.
    virtual std::optional<std::string> fromAnsi(const std::string& ansi) const = 0;
};

}  // namespace velmora
