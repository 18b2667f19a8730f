#include "core/settings/secret_line.h"

#include "core/settings/scrambler.h"
#include "core/text/text.h"

namespace velmora {

namespace {

// The secret's codes, one byte a character; nothing when a character has no code of one byte
// (other than 0) of its own.
std::optional<std::string> singleByteCodes(const std::string& secret, const AnsiCodec& codec) {
    std::string codes;
    // One character at a time: a double-byte character must be refused, not read as two codes.
    for (const std::string& c : splitChars(secret)) {
        const auto code = codec.toAnsi(c);
        if (!code || code->size() != 1 || (*code)[0] == '\0') {
            return std::nullopt;
        }
        codes += *code;
    }
    return codes;
}

}  // namespace

std::optional<std::string> secretToLine(const std::string& secret, const AnsiCodec& codec) {
    const auto codes = singleByteCodes(secret, codec);
    return codes ? scrambleText(*codes) : std::nullopt;
}

SecretFault secretFault(const std::string& secret, const AnsiCodec& codec) {
    const auto codes = singleByteCodes(secret, codec);
    if (!codes) {
        return SecretFault::characters;
    }
    return scrambleText(*codes) ? SecretFault::none : SecretFault::length;
}

std::string lineToSecret(const std::string& line, const AnsiCodec& codec) {
    std::string secret;
    // One code at a time, so that two codes of a hand-edited line never merge into one character.
    for (const char code : unscrambleText(line)) {
        if (const auto c = codec.fromAnsi(std::string(1, code))) {
            secret += *c;
        }
    }
    return secret;
}

}  // namespace velmora
