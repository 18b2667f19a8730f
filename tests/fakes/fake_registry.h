// The registry in memory: keys hold values of any type as raw bytes; a test can make a key
// refuse reading or writing, as an access-control list would, and refuse new keys; a key knows
// whether it was closed to everyone but the system's accounts.
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
        bool closed = false;
        std::map<std::string, Value> values;
    };

    std::optional<std::vector<std::uint8_t>> readValueData(RegRoot root, const std::string& subkey,
                                                           const std::string& valueName) override {
        const Value* found = readable(root, subkey, valueName);
        if (found == nullptr || found->data.size() > kRegValueBytes) {
            return std::nullopt;
        }
        return found->data;
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

    std::optional<std::string> readString(RegRoot root, const std::string& subkey,
                                          const std::string& valueName) override {
        const Value* found = readable(root, subkey, valueName);
        if (found == nullptr || found->type != kRegSz) {
            return std::nullopt;
        }
        const std::string text(found->data.begin(), found->data.end());
        return text.substr(0, text.find('\0'));
    }

    bool writeString(RegRoot root, const std::string& subkey, const std::string& valueName,
                     const std::string& value) override {
        ++accesses;
        Key& k = key(root, subkey);
        if (!k.writable) {
            return false;
        }
        setString(root, subkey, valueName, value);
        ++writes;
        return true;
    }

    bool deleteValue(RegRoot root, const std::string& subkey, const std::string& valueName) override {
        ++accesses;
        const auto k = keys.find({root, subkey});
        if (k == keys.end()) {
            return true;
        }
        if (!k->second.writable) {
            return false;
        }
        k->second.values.erase(valueName);
        return true;
    }

    bool hasValues(RegRoot root, const std::string& subkey) override {
        ++accesses;
        const Key* k = find(root, subkey);
        return k != nullptr && k->readable && !k->values.empty();
    }

    std::vector<std::string> subkeys(RegRoot root, const std::string& subkey) override {
        ++accesses;
        std::vector<std::string> names;
        const std::string prefix = subkey + "\\";
        for (const auto& [path, k] : keys) {
            const std::string& name = path.second;
            if (path.first == root && name.rfind(prefix, 0) == 0 && name.find('\\', prefix.size()) == std::string::npos) {
                names.push_back(name.substr(prefix.size()));
            }
        }
        return names;
    }

    bool closeKey(RegRoot root, const std::string& subkey) override {
        ++accesses;
        const auto k = keys.find({root, subkey});
        if (k == keys.end() || !k->second.writable) {
            return false;
        }
        k->second.closed = true;
        return true;
    }

    // Creates the key when needed.
    Key& key(RegRoot root, const std::string& subkey) { return keys[{root, subkey}]; }

    void setDword(RegRoot root, const std::string& subkey, const std::string& name, std::uint32_t value) {
        key(root, subkey).values[name] = {kRegDword, dwordBytes(value)};
    }

    // A string value as stored text (without its NUL).
    void setString(RegRoot root, const std::string& subkey, const std::string& name, const std::string& text) {
        key(root, subkey).values[name] = {kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
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
    bool keysCanBeCreated = true;  // false: createKey finds the parent refusing new keys
    int accesses = 0;              // reads, writes and creations that reached the registry
    int writes = 0;                // values set

private:
    static std::vector<std::uint8_t> dwordBytes(std::uint32_t value) {
        return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    }
    // A value a read reaches: in a key that exists and may be read.
    const Value* readable(RegRoot root, const std::string& subkey, const std::string& valueName) {
        ++accesses;
        const Key* k = find(root, subkey);
        return k != nullptr && k->readable ? value(root, subkey, valueName) : nullptr;
    }
    const Key* find(RegRoot root, const std::string& subkey) const {
        const auto found = keys.find({root, subkey});
        return found == keys.end() ? nullptr : &found->second;
    }
};

}  // namespace velmora::testing
