// A small GBK-like ANSI code page in memory: ASCII, the euro sign at 0x80 (the one single-byte
// code above ASCII in GBK) and a few Chinese characters with their GBK codes; nothing else.
#pragma once

#include <optional>
#include <string>

#include "platform/ansi_codec.h"

namespace velmora::testing {

class FakeAnsiCodec : public AnsiCodec {
public:
    std::optional<std::string> toAnsi(const std::string& utf8) const override;
    std::optional<std::string> fromAnsi(const std::string& ansi) const override;

    // As a file service converts: a character or byte without a counterpart becomes "?".
    std::string toAnsiOrQuestionMarks(const std::string& utf8) const;
    std::string fromAnsiOrQuestionMarks(const std::string& ansi) const;
};

}  // namespace velmora::testing
