// ManagementService over WMI's COM interfaces, with COM (ole32, oleaut32) loaded when first
// asked; without a library or one of its functions the query fails as the service's would.
#pragma once

#include "platform/management_service.h"
#include "platform/win32/system_library.h"

namespace velmora {

class Win32ManagementService : public ManagementService {
public:
    // com, automation: COM's DLL and its automation DLL in the system folder.
    explicit Win32ManagementService(const wchar_t* com = L"ole32.dll", const wchar_t* automation = L"oleaut32.dll")
        : com_(com), automation_(automation) {}

    std::vector<std::string> processorIds() override;

private:
    SystemLibrary com_;
    SystemLibrary automation_;
};

}  // namespace velmora
