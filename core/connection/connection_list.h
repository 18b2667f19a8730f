// The existing dial-up entries offered in the drop-down list of the entry-name field, and the
// registry switch that start-up checks right after listing them.
#pragma once

#include <string>

#include "core/log/connection_log.h"
#include "core/profile/control_surface.h"
#include "core/system/l2tp_switch.h"
#include "platform/registry.h"
#include "platform/remote_access.h"

namespace velmora {

// Appends the phonebook's entry names to the list of txtConnName in the service's order (the
// list is not cleared, sorted or de-duplicated, its text is left alone), then runs the
// registry switch, whose verdict it passes on.
StartUp getAllConn(RemoteAccess& remoteAccess, Registry& registry, Operations& operations, ControlSurface& window,
                   ConnectionLog& log);

// True when an item of the list of txtConnName equals cName exactly (case-sensitive).
bool connNameExist(const ControlSurface& window, const std::string& cName);

}  // namespace velmora
