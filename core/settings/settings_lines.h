// The sixteen lines of the settings file: composed from a profile, and taken back into the
// stored fields with a fallback for every line that is missing or unusable.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "core/settings/secret_line.h"
#include "platform/ansi_codec.h"

namespace velmora {

constexpr std::size_t kSettingsLineCount = 16;

struct SettingsLines {
    std::vector<std::string> lines;  // the sixteen lines, in file order
    // A secret the scrambler cannot carry is stored as an empty line, and why is kept here.
    SecretFault preshareFault = SecretFault::none;
    SecretFault passwdFault = SecretFault::none;
};

// The lines that save the stored fields of the profile: texts trimmed of spaces (the cipher
// suite as it is), the two secrets scrambled, check boxes "yes" only when checked, Option1
// "yes" for L2TP.
SettingsLines composeSettings(const ConnProfile& profile, const AnsiCodec& codec);

// The first lines of a text, at most maxLines: a line ends at CR LF, at CR or at LF, and
// the end of the text ends a last line that has characters.
std::vector<std::string> splitLines(const std::string& text, std::size_t maxLines);

// The stored fields that the lines give, in the fields of a profile; a missing line counts as
// an empty one. txtHD and Check4 are not stored and are left at their design-time values.
ConnProfile parseSettings(const std::vector<std::string>& lines, const AnsiCodec& codec);

}  // namespace velmora
