#include "ui/win32/session_end_reason.h"

namespace velmora {

namespace {

using BlockReasonCreate = BOOL WINAPI(HWND, LPCWSTR);
using BlockReasonDestroy = BOOL WINAPI(HWND);

}  // namespace

void SessionEndReason::hold(HWND window) {
    if (holders_++ > 0) {
        return;
    }
    if (auto* create = user32_.function<BlockReasonCreate>("ShutdownBlockReasonCreate")) {
        registered_ = create(window, reason_) != FALSE;
    }
}

void SessionEndReason::release(HWND window) {
    if (holders_ == 0 || --holders_ > 0 || !registered_) {
        return;
    }
    registered_ = false;
    if (auto* destroy = user32_.function<BlockReasonDestroy>("ShutdownBlockReasonDestroy")) {
        (void)destroy(window);
    }
}

}  // namespace velmora
