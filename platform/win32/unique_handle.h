// Owns a kernel handle and closes it on every way out of a scope.
#pragma once

#include <windows.h>

namespace velmora {

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    // Hands the handle over to the caller, who closes it from then on.
    HANDLE release() {
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Closes the handle held, and holds the one given from then on.
    void reset(HANDLE handle = nullptr) {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            (void)CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

}  // namespace velmora
