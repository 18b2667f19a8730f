#include "platform/win32/address_change_watch.h"

namespace velmora {

namespace {

using NotifyAddrChange = DWORD WINAPI(HANDLE*, OVERLAPPED*);
using CancelIpChangeNotify = BOOL WINAPI(OVERLAPPED*);

}  // namespace

AddressChangeWatch::AddressChangeWatch(const wchar_t* library)
    : library_(library), event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    arm();
}

AddressChangeWatch::~AddressChangeWatch() {
    // The service must not write into the record once it is gone; Windows 2000 has no way to
    // cancel, and there the record lives until the process ends anyway.
    auto* const cancel = library_.function<CancelIpChangeNotify>("CancelIPChangeNotify");
    if (armed_ && cancel != nullptr) {
        (void)cancel(&overlapped_);
    }
}

void AddressChangeWatch::arm() {
    auto* const notify = library_.function<NotifyAddrChange>("NotifyAddrChange");
    armed_ = false;
    if (notify == nullptr || event_.get() == nullptr) {
        return;
    }
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    HANDLE unused = nullptr;
    armed_ = notify(&unused, &overlapped_) == ERROR_IO_PENDING;
}

}  // namespace velmora
