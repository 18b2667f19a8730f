// The operating system's management service (the processor query).
#pragma once

#include <string>
#include <vector>

namespace velmora {

class ManagementService {
public:
    virtual ~ManagementService() = default;

    // The "ProcessorId" text of each object of "Select * from Win32_Processor", in the order
    // enumerated, leaving out objects whose identifier cannot be read as text; empty when the
    // service or the query fails.
    virtual std::vector<std::string> processorIds() = 0;
};

}  // namespace velmora
