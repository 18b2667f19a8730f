// Programs started by the desktop's shell, with the rights the user has there: on Windows Vista
// and later the desktop's shell runs without elevation, whatever rights this program has.
#pragma once

#include <string>

namespace velmora {

// True when this program runs elevated while the same user's other programs do not (User Account
// Control's split token, Windows Vista and later); false on older Windows and without the split.
bool runsElevatedAboveItsUser();

// Asks the desktop's shell to start program (a full path) with arguments in folder. False when
// no desktop shell answers or it refused; nothing has been started then.
bool startThroughDesktopShell(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder);

}  // namespace velmora
