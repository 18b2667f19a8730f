// Holds a mutex that other processes know by name, from construction to destruction, so that
// what several processes do under that name never interleaves.
#pragma once

#include <windows.h>

namespace velmora {

class NamedMutexLock {
public:
    // Waits, without limit, until no other holder has the mutex. A holder that ended without
    // letting go counts as gone. When the mutex cannot be made at all, nothing is held.
    explicit NamedMutexLock(const wchar_t* name);
    ~NamedMutexLock();
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    bool held() const { return held_; }

private:
    HANDLE mutex_;
    bool held_ = false;
};

}  // namespace velmora
