#include "core/settings/administrator_profile.h"

#include <cstring>

#include "core/profile/validation.h"
#include "core/system/general.h"
#include "core/text/text.h"

namespace velmora {

namespace {

// A setting: the settings-file lines of its fields, and how its value goes into a profile (false
// when the value is unusable, leaving the profile as it was).
struct Setting {
    const char* name;
    std::vector<std::size_t> lines;
    std::vector<Control> controls;
    bool (*apply)(const std::string& value, ConnProfile& p);
};

bool flag(const std::string& value, int& box) {
    if (value != "0" && value != "1") {
        return false;
    }
    box = value == "1" ? kChecked : kUnchecked;
    return true;
}

// "network/mask", each a dotted quad.
bool network(const std::string& value, std::string& address, std::string& mask) {
    const std::size_t slash = value.find('/');
    if (slash == std::string::npos) {
        return false;
    }
    const std::string a = trimBlanks(value.substr(0, slash));
    const std::string m = trimBlanks(value.substr(slash + 1));
    if (!checkip(a) || !checkip(m)) {
        return false;
    }
    address = a;
    mask = m;
    return true;
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

const std::vector<Setting>& settings() {
    using C = Control;
    static const std::vector<Setting> table = {
        {"SERVER", {6}, {C::txtServerAddress},
         [](const std::string& v, ConnProfile& p) {
             if (!checkServerAddress(v)) {
                 return false;
             }
             p.txtServerAddress = v;
             return true;
         }},
        {"PROTOCOL", {12}, {C::Option1},
         [](const std::string& v, ConnProfile& p) {
             const std::string protocol = upper(v);
             if (protocol != "L2TP" && protocol != "PPTP") {
                 return false;
             }
             p.Option1 = protocol == "L2TP" ? kProtocolL2tp : kProtocolPptp;
             return true;
         }},
        {"IPSEC", {9}, {C::Check1}, [](const std::string& v, ConnProfile& p) { return flag(v, p.Check1); }},
        {"PSK", {4}, {C::txtpreshare},
         [](const std::string& v, ConnProfile& p) {
             if (v.empty() || charCount(v) > kPreshareMaxChars) {
                 return false;
             }
             p.txtpreshare = v;
             return true;
         }},
        {"SUITE", {5}, {C::comalg},
         [](const std::string& v, ConnProfile& p) {
             if (!checkalg(v)) {
                 return false;
             }
             p.comalg = v;
             return true;
         }},
        {"REMOTENET1", {1, 2}, {C::txtpeer, C::txtpeermask},
         [](const std::string& v, ConnProfile& p) { return network(v, p.txtpeer, p.txtpeermask); }},
        {"REMOTENET2", {14, 15}, {C::txtpeer2, C::txtpeermask2},
         [](const std::string& v, ConnProfile& p) { return network(v, p.txtpeer2, p.txtpeermask2); }},
        {"DEFAULTGATEWAY", {10}, {C::Check2}, [](const std::string& v, ConnProfile& p) { return flag(v, p.Check2); }},
        {"AUTODIAL", {11}, {C::Check3}, [](const std::string& v, ConnProfile& p) { return flag(v, p.Check3); }},
    };
    return table;
}

// Merges the settings given, in table order, where held(setting) is false.
template <typename Held>
AdministratorMerge merge(const AdministratorSettings& given, ConnProfile& p, Held held) {
    AdministratorMerge result;
    for (const Setting& setting : settings()) {
        const auto value = given.find(setting.name);
        if (value == given.end() || held(setting)) {
            continue;
        }
        (setting.apply(trimBlanks(value->second), p) ? result.applied : result.unusable).push_back(setting.name);
    }
    return result;
}

}  // namespace

AdministratorSettings readAdministratorSettings(Registry& registry, const std::string& subkey) {
    AdministratorSettings found;
    for (const char* name : kAdministratorSettings) {
        if (auto text = registry.readString(kHkeyLocalMachine, subkey, name)) {
            found[name] = *text;
        } else if (auto data = registry.readValueData(kHkeyLocalMachine, subkey, name); data && data->size() == 4) {
            // A switch set by policy is a number.
            std::uint32_t number = 0;
            std::memcpy(&number, data->data(), sizeof number);
            found[name] = std::to_string(number);
        }
    }
    return found;
}

AdministratorMerge fillFromAdministratorProfile(const std::vector<std::string>& settingsLines,
                                                const AdministratorSettings& profile, ConnProfile& p) {
    return merge(profile, p, [&](const Setting& setting) {
        for (std::size_t line : setting.lines) {
            if (line < settingsLines.size() && !settingsLines[line].empty()) {
                return true;
            }
        }
        return false;
    });
}

AdministratorMerge applyPolicies(const AdministratorSettings& policies, ConnProfile& p) {
    return merge(policies, p, [](const Setting&) { return false; });
}

void keepSettings(const std::vector<std::string>& names, const ConnProfile& from, ConnProfile& to) {
    for (const std::string& name : names) {
        for (Control control : controlsOfSetting(name)) {
            switch (control) {
            case Control::txtServerAddress: to.txtServerAddress = from.txtServerAddress; break;
            case Control::Option1: to.Option1 = from.Option1; break;
            case Control::Check1: to.Check1 = from.Check1; break;
            case Control::txtpreshare: to.txtpreshare = from.txtpreshare; break;
            case Control::comalg: to.comalg = from.comalg; break;
            case Control::txtpeer: to.txtpeer = from.txtpeer; break;
            case Control::txtpeermask: to.txtpeermask = from.txtpeermask; break;
            case Control::txtpeer2: to.txtpeer2 = from.txtpeer2; break;
            case Control::txtpeermask2: to.txtpeermask2 = from.txtpeermask2; break;
            case Control::Check2: to.Check2 = from.Check2; break;
            case Control::Check3: to.Check3 = from.Check3; break;
            default: break;
            }
        }
    }
}

std::vector<Control> controlsOfSetting(const std::string& name) {
    for (const Setting& setting : settings()) {
        if (name == setting.name) {
            return setting.controls;
        }
    }
    return {};
}

}  // namespace velmora
