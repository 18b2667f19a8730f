#include "core/profile/validation.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

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

bool isAsciiLetterOrDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isDigit);
}

// The parts of a text between its dots, empty ones included.
std::vector<std::string_view> dotParts(std::string_view text) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos) {
            return parts;
        }
        start = dot + 1;
    }
}

bool isPlainDottedQuad(std::string_view text) {
    const std::vector<std::string_view> parts = dotParts(text);
    return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), [](std::string_view part) {
               if (part.empty() || part.size() > 3 || !allDigits(part) || (part.size() > 1 && part[0] == '0')) {
                   return false;
               }
               int value = 0;
               for (const char digit : part) {
                   value = value * 10 + (digit - '0');
               }
               return value <= 255;
           });
}

bool isHostName(std::string_view text) {
    if (text.empty() || text.size() > 253) {
        return false;
    }
    const std::vector<std::string_view> labels = dotParts(text);
    const bool labelsValid = std::all_of(labels.begin(), labels.end(), [](std::string_view label) {
        return !label.empty() && label.size() <= 63 && isAsciiLetterOrDigit(label.front()) &&
               isAsciiLetterOrDigit(label.back()) &&
               std::all_of(label.begin(), label.end(), [](char c) { return isAsciiLetterOrDigit(c) || c == '-'; });
    });
    return labelsValid && !allDigits(labels.back());
}

// The first field of the dial that fails, with its message.
struct FieldFault {
    Control field;
    const char* message;
};

std::optional<FieldFault> dialFieldFault(const ConnProfile& p) {
    // What a fresh settings file holds is no server the user chose, though the field is not empty.
    if (trimBlanks(p.txtServerAddress) == "0.0.0.0") {
        return FieldFault{Control::txtServerAddress, "请填写隧道主机名或IP地址：0.0.0.0 不是可以拨号的服务器！"};
    }
    if (!checkServerAddress(trimBlanks(p.txtServerAddress))) {
        return FieldFault{Control::txtServerAddress, "隧道主机名或IP地址不是合法的IP地址或主机名！"};
    }
    if (charCount(trimBlanks(p.txtUserName)) > kMaxCredentialChars) {
        return FieldFault{Control::txtUserName, "用户名不能超过256个字符！"};
    }
    if (charCount(trimBlanks(p.txtPasswd)) > kMaxCredentialChars) {
        return FieldFault{Control::txtPasswd, "用户密码不能超过256个字符！"};
    }
    return std::nullopt;
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
    bool hiddenField = false;
    if (trimBlanks(p.txtConnName).empty()) {
        failure = "L2TP连接的名称为空！";
        hiddenField = true;
    } else if (!checkip(trimBlanks(p.txtpeer))) {
        failure = "服务器内网地址不是合法IP地址!";
    } else if (!checkip(trimBlanks(p.txtlocal))) {
        failure = "本地获得的地址不是合法IP地址";
        hiddenField = true;
    } else if (charCount(p.txtpreshare) < 6) {
        // The key is counted as typed, blanks included.
        failure = "预先共享的密钥不能小于6个字节";
        hiddenField = true;
    } else if (trimBlanks(p.txtpreshare).empty()) {
        // Trimmed, as every policy line takes it, nothing would be left.
        failure = "预先共享的密钥不能全是空格！";
        hiddenField = true;
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
    window.showMessage(std::string(failure) + (hiddenField ? kSetByAdministrator : ""), MessageSign::warning);
    return false;
}

bool checkServerAddress(const std::string& server) {
    return isPlainDottedQuad(server) || isHostName(server);
}

bool checkDialFields(ControlSurface& window) {
    const auto fault = dialFieldFault(readProfile(window));
    if (!fault) {
        return true;
    }
    window.showMessage(fault->message, MessageSign::warning);
    // After the message box: closing it hands the focus back to where it was before.
    window.setFocus(fault->field);
    return false;
}

}  // namespace velmora
