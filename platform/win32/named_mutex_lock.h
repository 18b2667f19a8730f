// Holds a mutex that other processes know by name, from construction to destruction, so that
// what several processes do under that name never interleaves.
#pragma once

#include <windows.h>

namespace velmora {

class NamedMutexLock {
public:
    // Waits, at most the given milliseconds, until no other holder has the mutex. A holder that
    // ended without letting go counts as gone. When the mutex cannot be made at all, nothing is
    // held; when the wait ran out, nothing is held and timedOut says so.
    NamedMutexLock(const wchar_t* name, unsigned long milliseconds);
    ~NamedMutexLock();
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;

    bool held() const { return held_; }
    bool timedOut() const { return timedOut_; }

private:
    HANDLE mutex_;
    bool held_ = false;
    bool timedOut_ = false;
};

}  // namespace velmora
