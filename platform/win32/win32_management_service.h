// ManagementService over WMI's COM interfaces.
#pragma once

#include "platform/management_service.h"

namespace velmora {

class Win32ManagementService : public ManagementService {
public:
    std::vector<std::string> processorIds() override;
};

}  // namespace velmora
