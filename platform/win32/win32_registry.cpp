#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

// The predefined handles are sign-extended 32-bit values, as the headers define them.
HKEY rootKey(RegRoot root) {
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

// An open registry key, closed on every way out.
class OpenKey {
public:
    enum class Missing { fail, create };

    OpenKey(RegRoot root, const std::string& subkey, REGSAM access, Missing missing = Missing::fail) {
        const std::string name = utf8ToAnsi(subkey);
        const LONG status =
            missing == Missing::create
                ? RegCreateKeyExA(rootKey(root), name.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr)
                : RegOpenKeyExA(rootKey(root), name.c_str(), 0, access, &key_);
        if (status != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~OpenKey() {
        if (key_ != nullptr) {
            (void)RegCloseKey(key_);
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> Win32Registry::readValueData(RegRoot root, const std::string& subkey,
                                                                      const std::string& valueName) {
    const OpenKey key(root, subkey, KEY_READ);
    if (key.get() == nullptr) {
        return std::nullopt;
    }
    // Longer data is ERROR_MORE_DATA, whatever its type.
    BYTE data[kRegValueBytes] = {};
    DWORD size = kRegValueBytes;
    if (RegQueryValueExA(key.get(), utf8ToAnsi(valueName).c_str(), nullptr, nullptr, data, &size) != ERROR_SUCCESS ||
        size > kRegValueBytes) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(data, data + size);
}

bool Win32Registry::writeDword(RegRoot root, const std::string& subkey, const std::string& valueName,
                               std::uint32_t value) {
    const OpenKey key(root, subkey, KEY_WRITE);
    if (key.get() == nullptr) {
        return false;
    }
    const DWORD data = value;
    return RegSetValueExA(key.get(), utf8ToAnsi(valueName).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

bool Win32Registry::createKey(RegRoot root, const std::string& subkey) {
    return OpenKey(root, subkey, KEY_WRITE, OpenKey::Missing::create).get() != nullptr;
}

}  // namespace velmora
