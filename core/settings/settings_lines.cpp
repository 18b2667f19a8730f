#include "core/settings/settings_lines.h"

#include "core/profile/validation.h"
#include "core/text/text.h"

namespace velmora {

namespace {

std::string yesNo(bool yes) {
    return yes ? "yes" : "no";
}

// A secret's line; empty, with the reason, when the scrambler cannot carry it.
std::string secretLine(const std::string& typed, const AnsiCodec& codec, SecretFault& fault) {
    const std::string secret = trimBlanks(typed);
    const auto line = secretToLine(secret, codec);
    fault = line ? SecretFault::none : secretFault(secret, codec);
    return line.value_or(std::string());
}

std::string addressOr(const std::string& line, const std::string& fallback) {
    return checkip(line) ? line : fallback;
}

}  // namespace

SettingsLines composeSettings(const ConnProfile& p, const AnsiCodec& codec) {
    SettingsLines s;
    s.lines = {
        trimBlanks(p.txtConnName),
        trimBlanks(p.txtpeer),
        trimBlanks(p.txtpeermask),
        trimBlanks(p.txtlocal),
        secretLine(p.txtpreshare, codec, s.preshareFault),
        p.comalg,
        trimBlanks(p.txtServerAddress),
        trimBlanks(p.txtUserName),
        secretLine(p.txtPasswd, codec, s.passwdFault),
        yesNo(p.Check1 == kChecked),
        yesNo(p.Check2 == kChecked),
        yesNo(p.Check3 == kChecked),
        yesNo(p.Option1 == kProtocolL2tp),
        yesNo(p.checkHD == kChecked),
        trimBlanks(p.txtpeer2),
        trimBlanks(p.txtpeermask2),
    };
    return s;
}

std::vector<std::string> splitLines(const std::string& text, std::size_t maxLines) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size() && lines.size() < maxLines) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
    return lines;
}

ConnProfile parseSettings(const std::vector<std::string>& lines, const AnsiCodec& codec) {
    std::vector<std::string> line = lines;
    line.resize(kSettingsLineCount);

    const ConnProfile fallback = fallbackProfile();
    ConnProfile p = fallback;
    p.txtConnName = line[0].empty() ? fallback.txtConnName : line[0];
    p.txtpeer = addressOr(line[1], fallback.txtpeer);
    p.txtpeermask = addressOr(line[2], fallback.txtpeermask);
    p.txtlocal = addressOr(line[3], fallback.txtlocal);
    p.txtpreshare = lineToSecret(line[4], codec);
    p.comalg = checkalg(line[5]) ? line[5] : fallback.comalg;
    // No address test: the server may be a host name.
    p.txtServerAddress = line[6].empty() ? fallback.txtServerAddress : line[6];
    p.txtUserName = line[7];
    p.txtPasswd = lineToSecret(line[8], codec);
    p.Check1 = line[9] == "yes" ? kChecked : kUnchecked;
    p.Check2 = line[10] == "yes" ? kChecked : kUnchecked;
    p.Check3 = line[11] == "yes" ? kChecked : kUnchecked;
    p.Option1 = line[12] == "yes" ? kProtocolL2tp : kProtocolPptp;
    p.checkHD = line[13] == "yes" ? kChecked : kUnchecked;
    p.txtpeer2 = addressOr(line[14], fallback.txtpeer2);
    p.txtpeermask2 = addressOr(line[15], fallback.txtpeermask2);
    return p;
}

}  // namespace velmora
