// How a start with a command line hands its command to the program already running in the
// user's session, and how the running program knows a command it may take: WM_COPYDATA to the
// main window, which Windows delivers across processes of one desktop, carrying the verb, with
// the sender's own window as the message's wParam, so that the receiver can see whose it is.
#pragma once

#include <windows.h>

#include <optional>

#include "core/system/script_command.h"

namespace velmora {

// The mark of a command in COPYDATASTRUCT::dwData.
constexpr ULONG_PTR kScriptCommandMark = 0x564D5331;  // "VMS1"

// Sends the verb to the running program and waits until it has carried the command out. No
// value when no instance runs in this session; script_exit::notTaken when one runs but took no
// command (it is ending or starting, or it runs for another user).
std::optional<int> handToRunningProgram(ScriptVerb verb);

// The verb a WM_COPYDATA carries, when it is a command and its sender's process runs for this
// program's user, in this program's session.
std::optional<ScriptVerb> acceptedScriptVerb(HWND sender, const COPYDATASTRUCT& data);

}  // namespace velmora
