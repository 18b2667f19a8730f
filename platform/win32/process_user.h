// Who this process runs for, with which rights, and starting it again with more.
#pragma once

#include <string>

namespace velmora {

// The SID (as text, "S-1-5-21-...") of the user this process runs for; empty when it cannot be read.
std::wstring processUserSid();

// True when this process has administrator rights now (with User Account Control, only once they
// are raised).
bool processIsAdministrator();

// Starts this program again with administrator rights and the same arguments, asking the user as
// Windows does (User Account Control's prompt, or Windows 2000's and XP's "Run as"). False when it
// was not started (refused, cancelled).
bool startAgainAsAdministrator();

}  // namespace velmora
