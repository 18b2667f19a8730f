// What the user is told when a dial fails: the failure text, and when the dial tool ended with
// a remote-access error code, that code with the system's description of it and, for the codes
// users meet most, a line on what to check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

inline constexpr const char* kDialSucceeded = "拨号成功！";
// The headline names the tunnel's protocol.
inline constexpr const char* kDialFailed = "拨号失败！请检查L2TP参数重新拨号！";
inline constexpr const char* kPptpDialFailed = "拨号失败！请检查PPTP参数重新拨号！";

// What the advice needs to know of the dial that failed.
struct DialKind {
    bool pptp = false;          // a PPTP tunnel (the default-gateway dial's always is), else L2TP
    bool hardwareCode = false;  // the hardware code went in front of the password
};

// The line on what to check for a remote-access error code, naming the program's own files in
// the phonebooks' folder where they matter; empty for the other codes.
std::string dialFailureHint(std::uint32_t code, const std::string& phonebookFolder, DialKind kind);

// The message for a dial after which the link is down: the failure headline of the dial's
// protocol alone when the dial tool reported no error (status 0, or it never started); else the
// headline, a blank line, and for a remote-access code (600 to 999) "错误 <code>：" with the
// system's description (or a note that it has none) and the hint on a line of its own when there
// is one; for any other status only "rasdial 退出码 <status>", in hexadecimal from 0x80000000 on.
std::string dialFailureMessage(std::optional<std::uint32_t> status, const std::string& description,
                               const std::string& phonebookFolder, DialKind kind);

}  // namespace velmora
