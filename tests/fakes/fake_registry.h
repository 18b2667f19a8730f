// The registry in memory: keys hold values of any type as raw bytes; a test can make a key
// refuse reading or writing, as an access-control list would, and refuse new keys.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace velmora::testing {

// Registry value types, as stored.
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

class FakeRegistry : public Registry {
public:
    struct Value {
        std::uint32_t type = kRegBinary;
        std::vector<std::uint8_t> data;
    };
    struct Key {
        bool readable = true;
        bool writable = true;
        std::map<std::string, Value> values;
    };

    std::optional<std::vector<std::uint8_t>> readValueData(RegRoot root, const std::string& subkey,
                                                           const std::string& valueName) override {
        ++accesses;
        const Key* k = find(root, subkey);
        if (k == nullptr || !k->readable) {
            return std::nullopt;
        }
        const auto value = k->values.find(valueName);
        if (value == k->values.end() || value->second.data.size() > kRegValueBytes) {
            return std::nullopt;
        }
        return value->second.data;
    }

    bool writeDword(RegRoot root, const std::string& subkey, const std::string& valueName,
                    std::uint32_t value) override {
        ++accesses;
        const auto k = keys.find({root, subkey});
        if (k == keys.end() || !k->second.writable) {
            return false;
        }
        k->second.values[valueName] = {kRegDword, dwordBytes(value)};
        ++writes;
        return true;
    }

    bool createKey(RegRoot root, const std::string& subkey) override {
        ++accesses;
        if (!keysCanBeCreated && keys.count({root, subkey}) == 0) {
            return false;
        }
        return key(root, subkey).writable;
    }

    // Creates the key when needed.
    Key& key(RegRoot root, const std::string& subkey) { return keys[{root, subkey}]; }

    void setDword(RegRoot root, const std::string& subkey, const std::string& name, std::uint32_t value) {
        key(root, subkey).values[name] = {kRegDword, dwordBytes(value)};
    }

    const Value* value(RegRoot root, const std::string& subkey, const std::string& name) const {
        const Key* k = find(root, subkey);
        if (k == nullptr) {
            return nullptr;
        }
        const auto found = k->values.find(name);
        return found == k->values.end() ? nullptr : &found->second;
    }

    std::map<std::pair<RegRoot, std::string>, Key> keys;
    bool keysCanBeCreated = true;  // false: the parent key refuses new keys
    int accesses = 0;              // reads, writes and creations that reached the registry
    int writes = 0;                // values set

private:
    static std::vector<std::uint8_t> dwordBytes(std::uint32_t value) {
        return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    }
    const Key* find(RegRoot root, const std::string& subkey) const {
        const auto found = keys.find({root, subkey});
        return found == keys.end() ? nullptr : &found->second;
    }
};

}  // namespace velmora::testing
