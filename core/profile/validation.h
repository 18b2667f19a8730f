// Checks of the profile before the program touches the IPsec policy or dials, and the
// dotted-quad address arithmetic that the policy commands and the routes rely on.
#pragma once

#include <cstddef>
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

// After the message of a check that failed on a field the window never shows (the connection's
// name, the local address, the preshared key): the user cannot fix it, only ask.
inline constexpr const char* kSetByAdministrator = "（此项由管理员设定，请与管理员联系）";

// Validates the window's profile for an IPsec session: on the first check that fails it shows
// that check's message and returns false; true, silently, when all pass.
bool checkdata(ControlSurface& window);

// The most characters of a user name, and of a password, that the remote-access service takes.
constexpr std::size_t kMaxCredentialChars = 256;

// True when a dial can reach the server by this text: a dotted quad of four plain decimal parts
// 0..255 without leading zeros (which Windows reads as octal), or a host name of ASCII letters,
// digits, hyphens and dots, 253 characters at most, whose labels have 1 to 63 characters, begin
// and end with a letter or digit, and whose last label is not all digits (an address gone wrong).
bool checkServerAddress(const std::string& server);

// Validates what a dial hands to the remote-access service, trimmed as the dial takes it: the
// server (0.0.0.0, what a fresh settings file holds, counts as empty), then the user name and the
// password (at most kMaxCredentialChars characters each). On the first that fails it shows a message naming the field and gives that field the focus.
bool checkDialFields(ControlSurface& window);

}  // namespace velmora
