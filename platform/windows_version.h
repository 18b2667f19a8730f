// The version of Windows the program runs on, as the system reports it.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct VersionRecord {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::string servicePack;  // the system's description up to its first NUL, e.g. "Service Pack 2"
    std::uint32_t build = 0;  // the build number, e.g. 2600
};

class WindowsVersion {
public:
    virtual ~WindowsVersion() = default;

    // The major and minor version, the service-pack description and the build number; all zero
    // and empty when the system does not answer.
    virtual VersionRecord version() = 0;
};

}  // namespace velmora
