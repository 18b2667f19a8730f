// Owns a GDI object (a font, a bitmap) and deletes it on every way out of a scope.
#pragma once

#include <windows.h>

namespace velmora {

template <typename Handle>
class GdiObject {
public:
    explicit GdiObject(Handle handle = nullptr) : handle_(handle) {}
    ~GdiObject() {
        if (handle_ != nullptr) {
            (void)DeleteObject(handle_);
        }
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return handle_; }

private:
    Handle handle_;
};

}  // namespace velmora
