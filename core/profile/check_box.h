// Setting a check box from code as a click would: Win32 sends no notification when code sets
// a box, so the logic runs the box's click reaction itself, exactly when its value changes.
#pragma once

#include <functional>

#include "core/profile/control_surface.h"

namespace velmora {

// A check box's click handler; an empty one means the box has no reaction.
using ClickReaction = std::function<void()>;

// Sets the box to value and then runs onClick, unless the box already held that value.
void setCheckValue(ControlSurface& window, Control box, int value, const ClickReaction& onClick);

}  // namespace velmora
