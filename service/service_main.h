// velmora-service.exe as the service manager runs it: the dispatcher, the service's main on its
// thread, and the answers to the manager's controls.
#pragma once

#include <windows.h>

namespace velmora {

// Hands the process to the service manager until the service has stopped: 0 then, else the
// system's error (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when the manager did not start it).
DWORD runServiceDispatcher();

}  // namespace velmora
