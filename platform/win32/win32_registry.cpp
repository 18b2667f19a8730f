#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <sddl.h>

#include "platform/win32/text_codec.h"

namespace velmora {

namespace {

// An open registry key, closed on every way out.
class OpenKey {
public:
    OpenKey(RegRoot root, const std::string& subkey, REGSAM access) {
        if (RegOpenKeyExA(rootKey(root), utf8ToAnsi(subkey).c_str(), 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    // Opens the key for writing, creating it and any key above it that is missing.
    OpenKey(RegRoot root, const std::string& subkey) {
        if (RegCreateKeyExW(rootKey(root), widen(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                            nullptr, &key_, nullptr) != ERROR_SUCCESS) {
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
    // The predefined handles are sign-extended 32-bit values, as the headers define them.
    static HKEY rootKey(RegRoot root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root))); }

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
    return OpenKey(root, subkey).get() != nullptr;
}

std::optional<std::string> Win32Registry::readString(RegRoot root, const std::string& subkey,
                                                     const std::string& valueName) {
    const OpenKey key(root, subkey, KEY_READ);
    if (key.get() == nullptr) {
        return std::nullopt;
    }
    const std::wstring name = widen(valueName);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    // Room for a terminating NUL that the stored data may lack.
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(size / sizeof(wchar_t));
    const std::size_t end = text.find(L'\0');
    return narrow(end == std::wstring::npos ? text : text.substr(0, end));
}

bool Win32Registry::writeString(RegRoot root, const std::string& subkey, const std::string& valueName,
                                const std::string& value) {
    const OpenKey key(root, subkey);
    if (key.get() == nullptr) {
        return false;
    }
    const std::wstring data = widen(value);
    return RegSetValueExW(key.get(), widen(valueName).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Win32Registry::deleteValue(RegRoot root, const std::string& subkey, const std::string& valueName) {
    const OpenKey key(root, subkey, KEY_WRITE);
    if (key.get() == nullptr) {
        // No key, no value; a key that is there but refuses writing keeps it.
        return OpenKey(root, subkey, KEY_READ).get() == nullptr;
    }
    const LONG result = RegDeleteValueW(key.get(), widen(valueName).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

std::vector<std::string> Win32Registry::subkeys(RegRoot root, const std::string& subkey) {
    const OpenKey key(root, subkey, KEY_READ);
    std::vector<std::string> names;
    if (key.get() == nullptr) {
        return names;
    }
    // A key name has at most 255 characters.
    wchar_t name[256] = {};
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        names.push_back(narrow(std::wstring(name, length)));
    }
}

bool Win32Registry::closeKey(RegRoot root, const std::string& subkey) {
    const OpenKey key(root, subkey, WRITE_DAC);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (key.get() == nullptr || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                    L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;NS)", SDDL_REVISION_1, &descriptor,
                                    nullptr)) {
        return false;
    }
    const bool set = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    (void)LocalFree(descriptor);
    return set;
}

bool Win32Registry::hasValues(RegRoot root, const std::string& subkey) {
    const OpenKey key(root, subkey, KEY_READ);
    DWORD values = 0;
    return key.get() != nullptr &&
           RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           values > 0;
}

}  // namespace velmora
