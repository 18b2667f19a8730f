// A secret (preshared key or password) as its scrambled settings-file line and back: the
// characters are taken by their codes in the ANSI code page.
#pragma once

#include <optional>
#include <string>

#include "platform/ansi_codec.h"

namespace velmora {

// The line that stores a secret (UTF-8, already trimmed), or nothing when the scheme cannot
// carry it: a character without a single-byte code, a code plus position above 255, or more
// than 200 characters. A line it gives restores to exactly the secret.
std::optional<std::string> secretToLine(const std::string& secret, const AnsiCodec& codec);

// Why the scheme cannot carry a secret: a character without a single-byte code of its own, or
// its length (more characters than it takes, or more than it takes of such high codes).
enum class SecretFault { none, characters, length };

// none exactly when secretToLine gives a line for the secret.
SecretFault secretFault(const std::string& secret, const AnsiCodec& codec);

// The secret that a stored line holds; a code that is no character of its own in the code
// page (a lone lead byte of a double-byte character, for one) is left out.
std::string lineToSecret(const std::string& line, const AnsiCodec& codec);

}  // namespace velmora
