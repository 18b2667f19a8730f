// WindowsVersion over GetVersionExA with the plain 148-byte version record.
#pragma once

#include "platform/windows_version.h"

namespace velmora {

class Win32WindowsVersion : public WindowsVersion {
public:
    VersionRecord version() override;
};

}  // namespace velmora
