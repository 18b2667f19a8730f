#include "platform/win32/private_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/text_codec.h"

namespace velmora {

bool makePrivateFolder(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateFolderDescriptor, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    const std::wstring folder = widen(path);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    bool made = CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
    if (!made && GetLastError() == ERROR_ALREADY_EXISTS) {
        // One made before, by an earlier run or an administrator: closed the same way.
        const DWORD found = GetFileAttributesW(folder.c_str());
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL access = nullptr;
        made = found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
               (found & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
               GetSecurityDescriptorDacl(descriptor, &present, &access, &defaulted) &&
               SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                                     DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                     access, nullptr) == ERROR_SUCCESS;
    }
    (void)LocalFree(descriptor);
    return made;
}

}  // namespace velmora
