// AnsiCodec over the system's ANSI code page (CP_ACP).
#pragma once

#include "platform/ansi_codec.h"

namespace velmora {

class Win32AnsiCodec : public AnsiCodec {
public:
    std::optional<std::string> toAnsi(const std::string& utf8) const override;
    std::optional<std::string> fromAnsi(const std::string& ansi) const override;
};

}  // namespace velmora
