#include "platform/win32/named_mutex_lock.h"

namespace velmora {

NamedMutexLock::NamedMutexLock(const wchar_t* name, unsigned long milliseconds)
    : mutex_(CreateMutexW(nullptr, FALSE, name)) {
    if (mutex_ == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(mutex_, milliseconds);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    timedOut_ = waited == WAIT_TIMEOUT;
}

NamedMutexLock::~NamedMutexLock() {
    if (held_) {
        (void)ReleaseMutex(mutex_);
    }
    if (mutex_ != nullptr) {
        (void)CloseHandle(mutex_);
    }
}

}  // namespace velmora
