#include "platform/win32/service_pipe.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/win32_windows_version.h"

namespace velmora {

namespace {

// What one write or read may hold in the pipe's buffers: a few of the largest frames.
constexpr DWORD kPipeBufferBytes = 64 * 1024;

}  // namespace

ServicePipeSecurity::ServicePipeSecurity() {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kServicePipeDescriptor, SDDL_REVISION_1, &descriptor_,
                                                              nullptr)) {
        descriptor_ = nullptr;
    }
}

ServicePipeSecurity::~ServicePipeSecurity() {
    (void)LocalFree(descriptor_);
}

bool pipeOwnedBySystemOrAdministrators(HANDLE pipe) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    bool trusted = false;
    for (const wchar_t* account : {L"S-1-5-18", L"S-1-5-32-544"}) {
        PSID sid = nullptr;
        if (owner != nullptr && ConvertStringSidToSidW(account, &sid)) {
            trusted = trusted || EqualSid(owner, sid);
            (void)LocalFree(sid);
        }
    }
    (void)LocalFree(descriptor);
    return trusted;
}

HANDLE createServicePipeInstance(bool first) {
    const ServicePipeSecurity security;
    if (security.descriptor() == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, security.descriptor(), FALSE};
    DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
    if (Win32WindowsVersion().version().major >= 6) {
        mode |= PIPE_REJECT_REMOTE_CLIENTS;
    }
    const DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const HANDLE pipe = CreateNamedPipeW(kServicePipeName, openMode, mode, PIPE_UNLIMITED_INSTANCES, kPipeBufferBytes,
                                         kPipeBufferBytes, 0, &attributes);
    if (first && pipe != INVALID_HANDLE_VALUE && !pipeOwnedBySystemOrAdministrators(pipe)) {
        (void)CloseHandle(pipe);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return pipe;
}

}  // namespace velmora
