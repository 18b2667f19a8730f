// The module General: registry values addressed by one path text, "HKEY_LOCAL_MACHINE\System\..."
// (root-key name, backslash, subkey path), plus a value name.
#pragma once

#include <cstdint>
#include <string>

#include "core/profile/control_surface.h"
#include "platform/registry.h"

namespace velmora {

// The predefined root keys by handle value.
constexpr RegRoot kHkeyClassesRoot = 0x80000000;
constexpr RegRoot kHkeyCurrentUser = 0x80000001;
constexpr RegRoot kHkeyLocalMachine = 0x80000002;
constexpr RegRoot kHkeyUsers = 0x80000003;
constexpr RegRoot kHkeyPerformanceData = 0x80000004;
constexpr RegRoot kHkeyCurrentConfig = 0x80000005;
constexpr RegRoot kHkeyDynData = 0x80000006;

// A path split into its root (0 when there is none) and the subkey path under it.
struct RegPath {
    RegRoot root = 0;
    std::string subkey;
};

// What a read yields: an integer, an error (the key or the value could not be read), or
// nothing (the path has no recognised root, so nothing was read).
struct RegValue {
    enum class Form { empty, error, integer };
    Form form = Form::empty;
    std::int32_t integer = 0;

    // "49", "-1", "Error" or "".
    std::string text() const;
};

// The handle of a root-key name ("HKEY_CURRENT_USER"), compared exactly; 0 for any other text.
RegRoot regRootKey(const std::string& name);

class General {
public:
    // Format errors are shown in the window's message box.
    General(Registry& registry, ControlSurface& window) : registry_(registry), window_(window) {}

    // A path must start with "HKEY_" and must not end in a backslash; otherwise the user is
    // shown "Incorrect Format:" with the path, and the root is 0. Without a backslash the whole
    // path names the root and the subkey path is empty (the root key itself).
    RegPath regSplitPath(const std::string& path);

    // The value's data (at most four bytes, of any registry type) as a little-endian integer,
    // missing high bytes counting as zero.
    RegValue regGetValue(const std::string& path, const std::string& valueName);

    // Writes the value as a REG_DWORD into an existing key. True when it was written; false
    // when the path has no root, the key cannot be opened for writing or the write failed.
    bool regSetDword(const std::string& path, const std::string& valueName, std::uint32_t value);

    // Creates the key the path names, and any missing keys above it, unless it exists. True
    // when it exists afterwards and may be written.
    bool regCreateKey(const std::string& path);

private:
    Registry& registry_;
    ControlSurface& window_;
};

}  // namespace velmora
