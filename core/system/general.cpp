#include "core/system/general.h"

#include <array>
#include <utility>

#include "core/text/text.h"

namespace velmora {

namespace {

constexpr std::array<std::pair<const char*, RegRoot>, 7> kRootKeys = {{
    {"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
    {"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {"HKEY_USERS", kHkeyUsers},
    {"HKEY_PERFORMANCE_DATA", kHkeyPerformanceData},
    {"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
    {"HKEY_DYN_DATA", kHkeyDynData},
}};

}  // namespace

std::string RegValue::text() const {
    switch (form) {
    case Form::integer:
        return std::to_string(integer);
    case Form::error:
        return "Error";
    case Form::empty:
        break;
    }
    return {};
}

RegRoot regRootKey(const std::string& name) {
    for (const auto& [rootName, root] : kRootKeys) {
        if (name == rootName) {
            return root;
        }
    }
    return 0;
}

RegPath General::regSplitPath(const std::string& path) {
    if (leftChars(path, 5) != "HKEY_" || path.back() == '\\') {
        window_.showMessage("Incorrect Format:\n\n" + path, MessageSign::error);
        return {};
    }
    const auto backslash = path.find('\\');
    if (backslash == std::string::npos) {
        return {regRootKey(path), {}};
    }
    return {regRootKey(path.substr(0, backslash)), path.substr(backslash + 1)};
}

RegValue General::regGetValue(const std::string& path, const std::string& valueName) {
    const RegPath split = regSplitPath(path);
    if (split.root == 0) {
        return {};
    }
    const auto data = registry_.readValueData(split.root, split.subkey, valueName);
    if (!data || data->size() > kRegValueBytes) {
        return {RegValue::Form::error, 0};
    }
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < data->size(); ++i) {
        bits |= static_cast<std::uint32_t>((*data)[i]) << (8 * i);
    }
    return {RegValue::Form::integer, static_cast<std::int32_t>(bits)};
}

bool General::regSetDword(const std::string& path, const std::string& valueName, std::uint32_t value) {
    const RegPath split = regSplitPath(path);
    if (split.root == 0) {
        return false;
    }
    return registry_.writeDword(split.root, split.subkey, valueName, value);
}

bool General::regCreateKey(const std::string& path) {
    const RegPath split = regSplitPath(path);
    return split.root != 0 && registry_.createKey(split.root, split.subkey);
}

}  // namespace velmora
