// Holds one reference to a COM object and releases it on every way out of a scope.
#pragma once

#include <unknwn.h>

namespace velmora {

template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    // For a call that hands out a new reference; whatever was held is released first.
    T** put() {
        reset();
        return &object_;
    }
    void reset() {
        if (object_ != nullptr) {
            object_->Release();
            object_ = nullptr;
        }
    }

private:
    T* object_ = nullptr;
};

}  // namespace velmora
