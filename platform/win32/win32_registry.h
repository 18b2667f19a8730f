// Registry over advapi32: the ANSI calls for the 32-bit values, which name keys in the ANSI code
// page as the old tools do; the wide ones for string values, whose text may be in any language.
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
    std::optional<std::string> readString(RegRoot root, const std::string& subkey,
                                          const std::string& valueName) override;
    bool writeString(RegRoot root, const std::string& subkey, const std::string& valueName,
                     const std::string& value) override;
    bool deleteValue(RegRoot root, const std::string& subkey, const std::string& valueName) override;
    bool hasValues(RegRoot root, const std::string& subkey) override;
    std::vector<std::string> subkeys(RegRoot root, const std::string& subkey) override;
    bool closeKey(RegRoot root, const std::string& subkey) override;
};

}  // namespace velmora
