// The management service in memory: a test sets the processor identifiers it answers.
#pragma once

#include <string>
#include <vector>

#include "platform/management_service.h"

namespace velmora::testing {

class FakeManagementService : public ManagementService {
public:
    std::vector<std::string> processorIds() override { return ids; }

    std::vector<std::string> ids;
};

}  // namespace velmora::testing
