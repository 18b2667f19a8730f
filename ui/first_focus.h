// Where the keyboard starts in the main window: in the first field a dial needs that the user has
// still to fill, or on 连接 when nothing is left to fill.
#pragma once

#include <functional>

#include "core/profile/control_surface.h"

namespace velmora {

// The first of the user name, the password and the server (the order the window reads them in)
// that is blank, or for the server holds 0.0.0.0, which a fresh settings file gives it, and that
// the user can type into at this moment; Command1 when there is none.
Control firstFocus(const ControlSurface& window, const std::function<bool(Control)>& canType);

}  // namespace velmora
