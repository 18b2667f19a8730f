// Registry over advapi32's ANSI calls, which hand string data over in the ANSI code page.
#pragma once

#include "platform/registry.h"

namespace velmora {

class Win32Registry : public Registry {
public:
    std::optional<std::vector<std::uint8_t>> readValueData(RegRoot root, const std::string& subkey,
                                                           const std::string& valueName) override;
    bool writeDword(RegRoot root, const std::string& subkey, const std::string& valueName,
                    std::uint32_t value) override;
    bool createKey(RegRoot root, const std::string& subkey) override;
};

}  // namespace velmora
