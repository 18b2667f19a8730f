// Tells when the computer's IPv4 addresses change: the IP helper sets an event at the next change,
// and the watch is then armed again. Where the service gives no such notice, the event is never set.
#pragma once

#include <windows.h>

#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"

namespace velmora {

class AddressChangeWatch {
public:
    // library: the IP helper's DLL in the system folder. Armed at once.
    explicit AddressChangeWatch(const wchar_t* library = L"iphlpapi.dll");
    ~AddressChangeWatch();
    AddressChangeWatch(const AddressChangeWatch&) = delete;
    AddressChangeWatch& operator=(const AddressChangeWatch&) = delete;

    // What to wait on; null when nothing is watched (no event, or the service refused).
    HANDLE event() const { return armed_ ? event_.get() : nullptr; }
    // After the event was set: watches for the next change.
    void rearm() { arm(); }

private:
    void arm();

    SystemLibrary library_;
    UniqueHandle event_;
    OVERLAPPED overlapped_{};
    bool armed_ = false;
};

}  // namespace velmora
