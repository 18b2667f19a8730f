// The named pipe between the window and the service: its name, the security descriptor every
// instance of it carries, and the service's end of it.
#pragma once

#include <windows.h>

namespace velmora {

inline constexpr const wchar_t* kServicePipeName = L"\\\\.\\pipe\\velmora-vpn";

// The pipe's descriptor (SDDL): owned by the administrators; a protected access list that denies
// the network logons everything, gives the system and the administrators full access, and the
// users logged on at the computer reading and writing of data only (FILE_GENERIC_READ |
// FILE_WRITE_DATA). Never FILE_APPEND_DATA, which on a pipe is the right to create instances of
// its name, by which another program could take clients meant for the service.
inline constexpr const wchar_t* kServicePipeDescriptor =
    L"O:BAD:P(D;;FA;;;NU)(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12008B;;;IU)";

// What a client asks for when it opens the pipe: what the descriptor grants the interactive users,
// and nothing more (GENERIC_WRITE would ask for FILE_APPEND_DATA too).
inline constexpr DWORD kServicePipeClientAccess = FILE_GENERIC_READ | FILE_WRITE_DATA;

// kServicePipeDescriptor as the system takes it, freed with the object.
class ServicePipeSecurity {
public:
    ServicePipeSecurity();
    ~ServicePipeSecurity();
    ServicePipeSecurity(const ServicePipeSecurity&) = delete;
    ServicePipeSecurity& operator=(const ServicePipeSecurity&) = delete;

    // Null when the descriptor could not be built.
    PSECURITY_DESCRIPTOR descriptor() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// True when the pipe the handle is an end of is owned by the system or the administrators: made
// by the service, not by another user's program that took the name first. A pipe without an owner
// is no one's.
bool pipeOwnedBySystemOrAdministrators(HANDLE pipe);

// A new instance of the pipe for the service to wait for a client on: in bytes, overlapped, with
// the descriptor above; from Windows Vista on it refuses clients of other computers (older Windows
// refuse the flag). first: the service's first instance, which fails (ERROR_ACCESS_DENIED) when
// any program already holds the name; as a system that ignores the flag would join that program's
// pipe instead, a first instance whose pipe is not the administrators' is closed and fails too.
// INVALID_HANDLE_VALUE when it cannot be made.
HANDLE createServicePipeInstance(bool first);

}  // namespace velmora
