// The Windows version in memory.
#pragma once

#include "platform/windows_version.h"

namespace velmora::testing {

class FakeWindowsVersion : public WindowsVersion {
public:
    VersionRecord version() override { return record; }

    VersionRecord record;
};

}  // namespace velmora::testing
