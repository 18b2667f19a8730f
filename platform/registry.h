// The system registry: 32-bit values addressed by a predefined root key, a subkey path and a
// value name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// A predefined root key by its handle value (0x80000000 HKEY_CLASSES_ROOT ...); 0 is no root.
using RegRoot = std::uint32_t;

// Values are read into a buffer of this many bytes; longer data cannot be read.
constexpr std::size_t kRegValueBytes = 4;

class Registry {
public:
    virtual ~Registry() = default;

    // The data of a value, 0 to kRegValueBytes bytes as stored (string data in the ANSI code
    // page, with its terminating NUL); nothing when the key cannot be opened for reading, the
    // value is absent or its data is longer. An empty subkey path is the root key itself.
    virtual std::optional<std::vector<std::uint8_t>> readValueData(RegRoot root, const std::string& subkey,
                                                                   const std::string& valueName) = 0;

    // Sets the value as a REG_DWORD in an existing key, which is never created. True when the
    // key opened for writing and the value was set.
    virtual bool writeDword(RegRoot root, const std::string& subkey, const std::string& valueName,
                            std::uint32_t value) = 0;

    // Creates the key, with any missing keys above it, unless it exists. True when it exists
    // afterwards and may be written.
    virtual bool createKey(RegRoot root, const std::string& subkey) = 0;

    // The text of a string value (REG_SZ or REG_EXPAND_SZ, as stored, without its terminating
    // NUL), UTF-8; nothing when the key or the value is absent or the value is not a string.
    virtual std::optional<std::string> readString(RegRoot root, const std::string& subkey,
                                                  const std::string& valueName) = 0;

    // Sets a REG_SZ value, creating the key, and any key above it, that is missing. True when the
    // value was set.
    virtual bool writeString(RegRoot root, const std::string& subkey, const std::string& valueName,
                             const std::string& value) = 0;

    // Removes a value; true when it is gone afterwards, also when it never was there.
    virtual bool deleteValue(RegRoot root, const std::string& subkey, const std::string& valueName) = 0;

    // Whether the key holds at least one value; false when it cannot be opened for reading.
    virtual bool hasValues(RegRoot root, const std::string& subkey) = 0;

    // The names (UTF-8) of the key's subkeys; empty when it cannot be opened for reading.
    virtual std::vector<std::string> subkeys(RegRoot root, const std::string& subkey) = 0;

    // Gives the key full access for the system and the administrators, reading for NETWORK
    // SERVICE (the account of Windows' services that read policy), and nothing for anyone else,
    // nothing inherited. True when it was set.
    virtual bool closeKey(RegRoot root, const std::string& subkey) = 0;
};

}  // namespace velmora
