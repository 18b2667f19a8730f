// The install folder's rights: it holds the service's program, which runs as the system, so only
// administrators may change what is in it, whichever folder the administrator chose. Used by
// velmora-msi.dll; velmora.nsi reads kInstallFolderRights from this header.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Owned by Administrators; full control for the system and Administrators, read and execute for
// users, passed on to everything in it; nothing inherited from the folders above.
constexpr const wchar_t* kInstallFolderRights = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Makes the folder when it is missing (the folders above it plainly, itself with those rights from
// the start) and gives it those rights, which reach what it holds already. A link or a file in its
// place is refused (ERROR_DIRECTORY) and left as it is. 0, or the Windows error.
DWORD secureInstallFolder(const std::wstring& folder);

}  // namespace velmora
