// Checks of the profile before the program touches the IPsec policy, and the dotted-quad
// address arithmetic that the policy commands and the routes rely on.
#pragma once

#include <string>

#include "core/profile/control_surface.h"

namespace velmora {

// True when the text is a dotted-quad address: three dots split it into four parts (the
// fourth is all the rest, further dots included), and each part is a decimal number that
// rounds, half to even, to 0..255. A part may have spaces around it, a sign, leading zeros
// and, in the fourth part only, one decimal point; no other notation is a number here.
bool checkip(const std::string& address);

// True exactly when alg is one of the six cipher-suite names, case-sensitively.
bool checkalg(const std::string& alg);

// The network address of address under netmask, part by part a bitwise AND, written as plain
// decimals; "0.0.0.0" when checkip refuses either. The mask need not be contiguous.
std::string getipnetaddress(const std::string& address, const std::string& netmask);

// Validates the window's profile for an IPsec session: on the first check that fails it shows
// that check's message and returns false; true, silently, when all pass.
bool checkdata(ControlSurface& window);

}  // namespace velmora
