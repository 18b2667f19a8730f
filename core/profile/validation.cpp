#include "core/profile/validation.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "core/profile/conn_profile.h"
#include "core/text/text.h"

namespace velmora {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of one part of an address, or nothing when the part is not a number or does not
// round to 0..255. Decimal arithmetic on the digits themselves, so that no run of digits can
// overflow and a half is recognised exactly.
std::optional<int> partValue(std::string_view part) {
    std::size_t pos = 0;
    const auto skipSpaces = [&] {
        while (pos < part.size() && part[pos] == ' ') {
            ++pos;
        }
    };
    skipSpaces();
    bool negative = false;
    if (pos < part.size() && (part[pos] == '+' || part[pos] == '-')) {
        negative = part[pos] == '-';
        ++pos;
    }
    // Anything from 256 up is refused, so the whole part saturates there.
    int whole = 0;
    bool anyDigit = false;
    for (; pos < part.size() && isDigit(part[pos]); ++pos) {
        whole = std::min(whole * 10 + (part[pos] - '0'), 256);
        anyDigit = true;
    }
    std::string_view fraction;
    if (pos < part.size() && part[pos] == '.') {
        const std::size_t start = ++pos;
        while (pos < part.size() && isDigit(part[pos])) {
            ++pos;
        }
        fraction = part.substr(start, pos - start);
        anyDigit = anyDigit || !fraction.empty();
    }
    skipSpaces();
    if (!anyDigit || pos != part.size()) {
        return std::nullopt;
    }

    int rounded = whole;
    if (!fraction.empty() && fraction[0] >= '5') {
        const bool exactHalf =
            fraction[0] == '5' && fraction.find_first_not_of('0', 1) == std::string_view::npos;
        if (!exactHalf || whole % 2 == 1) {
            ++rounded;
        }
    }
    // A negative number that rounds to zero is worth zero, and zero is in range.
    if ((negative && rounded != 0) || rounded > 255) {
        return std::nullopt;
    }
    return rounded;
}

// The four part values of a dotted-quad address, or nothing when checkip refuses it.
std::optional<std::array<int, 4>> addressParts(const std::string& address) {
    std::array<std::string_view, 4> parts;
    const std::string_view text(address);
    std::size_t start = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t dot = text.find('.', start);
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        parts[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    parts[3] = text.substr(start);

    std::array<int, 4> values{};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto value = partValue(parts[i]);
        if (!value) {
            return std::nullopt;
        }
        values[i] = *value;
    }
    return values;
}

}  // namespace

bool checkip(const std::string& address) {
    return addressParts(address).has_value();
}

bool checkalg(const std::string& alg) {
    return std::find(kCipherSuites.begin(), kCipherSuites.end(), alg) != kCipherSuites.end();
}

std::string getipnetaddress(const std::string& address, const std::string& netmask) {
    const auto a = addressParts(address);
    const auto m = addressParts(netmask);
    if (!a || !m) {
        return "0.0.0.0";
    }
    std::string network;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i > 0) {
            network += '.';
        }
        network += std::to_string((*a)[i] & (*m)[i]);
    }
    return network;
}

bool checkdata(ControlSurface& window) {
    const ConnProfile p = readProfile(window);
    const char* failure = nullptr;
    if (trimBlanks(p.txtConnName).empty()) {
        failure = "L2TP连接的名称为空！";
    } else if (!checkip(trimBlanks(p.txtpeer))) {
        failure = "服务器内网地址不是合法IP地址!";
    } else if (!checkip(trimBlanks(p.txtlocal))) {
        failure = "本地获得的地址不是合法IP地址";
    } else if (charCount(p.txtpreshare) < 6) {
        // The key is counted as typed, blanks included.
        failure = "预先共享的密钥不能小于6个字节";
    } else if (trimBlanks(p.txtpreshare).empty()) {
        // Trimmed, as every policy line takes it, nothing would be left.
        failure = "预先共享的密钥不能全是空格！";
    } else if (trimBlanks(p.txtServerAddress).empty()) {
        failure = "隧道主机名或IP地址不能为空！";
    } else if (trimBlanks(p.txtUserName).empty()) {
        failure = "用户名不能为空！";
    } else if (trimBlanks(p.txtPasswd).empty()) {
        failure = "用户密码不能为空！";
    }
    if (failure == nullptr) {
        return true;
    }
    window.showMessage(failure);
    return false;
}

}  // namespace velmora
