#include "core/service/request_checks.h"

#include <algorithm>

#include "core/ipsec/windows_version.h"
#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/text/text.h"

namespace velmora {

namespace {

// The longest address text taken: what the window's boxes take, with room for the blanks a loaded
// setting may carry.
constexpr std::size_t kMaxAddressBytes = 64;

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool isAddress(const std::string& text) {
    return text.size() <= kMaxAddressBytes && !hasControlCharacter(text) && checkip(text);
}

std::optional<std::string> checkPolicyRun(const PolicyRun& run, const std::string& ipsecTool) {
    if (!isAddress(run.local)) {
        return "本机隧道地址不是合法的IP地址";
    }
    if (!isAddress(run.peer)) {
        return "远端内网地址不是合法的IP地址";
    }
    if (!isAddress(run.peerMask)) {
        return "远端内网掩码不是合法的IP地址";
    }
    // As the window counts it: as typed, blanks included, and not blanks alone.
    const std::size_t keyChars = charCount(run.presharedKey);
    if (keyChars < 6 || keyChars > kPreshareMaxChars || trimBlanks(run.presharedKey).empty() ||
        hasControlCharacter(run.presharedKey)) {
        return "预共享的密钥必须有 6 到 " + std::to_string(kPreshareMaxChars) + " 个字符，且不能含有控制字符";
    }
    // netsh takes no double quote inside a value.
    if (ipsecTool == kPolicyToolName && run.presharedKey.find('"') != std::string::npos) {
        return "预共享的密钥不能含有双引号";
    }
    if (!checkalg(run.suite)) {
        return "加密方式不是程序提供的六种之一";
    }
    return std::nullopt;
}

std::optional<std::string> checkDial(const DialRequest& dial) {
    if (!checkServerAddress(dial.server)) {
        return "隧道主机名或IP地址不是合法的IP地址或主机名";
    }
    if (charCount(dial.user) > kMaxCredentialChars || hasLineBreak(dial.user)) {
        return "用户名超过 256 个字符或含有换行";
    }
    // The hardware code's twelve characters go in front of the password.
    if (charCount(dial.password) > kMaxCredentialChars + 12 || hasLineBreak(dial.password)) {
        return "用户密码超过 256 个字符或含有换行";
    }
    return std::nullopt;
}

std::optional<std::string> checkRoute(const Route& route) {
    if (!isAddress(route.network) || !isAddress(route.mask) || !isAddress(route.gateway)) {
        return "路由的网络、掩码或网关不是合法的IP地址";
    }
    // The window adds a route for a remote network's own address, never for a host in it.
    if (getipnetaddress(route.network, route.mask) != route.network) {
        return "路由的网络地址与掩码不符";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> checkRequest(const Request& request, const std::string& ipsecTool) {
    if (const auto* run = std::get_if<PolicyRun>(&request)) {
        return checkPolicyRun(*run, ipsecTool);
    }
    if (const auto* dial = std::get_if<DialRequest>(&request)) {
        return checkDial(*dial);
    }
    if (const auto* route = std::get_if<Route>(&request)) {
        return checkRoute(*route);
    }
    return std::nullopt;
}

}  // namespace velmora
