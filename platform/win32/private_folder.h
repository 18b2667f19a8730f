// A folder that only the administrators and the system may reach, for what the service keeps: its
// log, which names every user it served.
#pragma once

#include <string>

namespace velmora {

// The folder's descriptor (SDDL): owned by the administrators, full access for them and the system,
// handed down to what is made inside, nothing inherited from above.
inline constexpr const wchar_t* kPrivateFolderDescriptor = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Makes the folder (a full path, UTF-8) with that descriptor, or gives an existing one that access
// list. False when it cannot be made, is no folder, is a junction or link to elsewhere, or its
// access list cannot be set.
bool makePrivateFolder(const std::string& path);

}  // namespace velmora
