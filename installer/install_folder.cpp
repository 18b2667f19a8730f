#include "installer/install_folder.h"

#include <aclapi.h>
#include <sddl.h>

namespace velmora {

namespace {

class LocalDescriptor {
public:
    LocalDescriptor() = default;
    LocalDescriptor(const LocalDescriptor&) = delete;
    LocalDescriptor& operator=(const LocalDescriptor&) = delete;
    ~LocalDescriptor() {
        if (descriptor_ != nullptr) {
            (void)LocalFree(descriptor_);
        }
    }
    PSECURITY_DESCRIPTOR* put() { return &descriptor_; }
    PSECURITY_DESCRIPTOR get() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// The folder and the missing folders above it; only the folder itself gets the descriptor.
DWORD makeFolder(const std::wstring& folder, SECURITY_ATTRIBUTES* security) {
    if (CreateDirectoryW(folder.c_str(), security)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        return ERROR_SUCCESS;
    }
    const std::size_t parentEnd = folder.find_last_of(L"\\/");
    if (error != ERROR_PATH_NOT_FOUND || parentEnd == std::wstring::npos || parentEnd == 0) {
        return error;
    }
    const DWORD parent = makeFolder(folder.substr(0, parentEnd), nullptr);
    if (parent != ERROR_SUCCESS) {
        return parent;
    }
    return CreateDirectoryW(folder.c_str(), security) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

DWORD secureInstallFolder(const std::wstring& folder) {
    std::wstring path = folder;
    // Windows Installer's folders end with a backslash; a drive's root keeps its own.
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    LocalDescriptor descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstallFolderRights, SDDL_REVISION_1, descriptor.put(),
                                                              nullptr)) {
        return GetLastError();
    }
    SECURITY_ATTRIBUTES security{sizeof security, descriptor.get(), FALSE};
    const DWORD made = makeFolder(path, &security);
    if (made != ERROR_SUCCESS) {
        return made;
    }
    // Held without sharing its deletion, the name cannot be given to another folder or a link
    // while it is looked at and its rights are set.
    const HANDLE held = CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD result = ERROR_DIRECTORY;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        PSID owner = nullptr;
        PACL access = nullptr;
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        result = GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted) &&
                         GetSecurityDescriptorDacl(descriptor.get(), &present, &access, &defaulted)
                     ? SetSecurityInfo(held, SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                           PROTECTED_DACL_SECURITY_INFORMATION,
                                       owner, nullptr, access, nullptr)
                     : GetLastError();
    }
    (void)CloseHandle(held);
    return result;
}

}  // namespace velmora
