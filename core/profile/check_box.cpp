#include "core/profile/check_box.h"

namespace velmora {

void setCheckValue(ControlSurface& window, Control box, int value, const ClickReaction& onClick) {
    if (window.value(box) == value) {
        return;
    }
    window.setValue(box, value);
    if (onClick) {
        onClick();
    }
}

}  // namespace velmora
