// The settings an administrator gives every user of the computer: the profile deployed with the
// package, which fills what a user's settings file does not hold yet, and the values fixed by
// policy, which win over both. Both keep one value per setting, named as the package's property.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "platform/registry.h"

namespace velmora {

// Under HKEY_LOCAL_MACHINE; only administrators may read the profile's key (it may hold the
// preshared key), while every user may read the policies'.
inline constexpr const char* kAdministratorProfileKey = "SOFTWARE\\Velmora\\VPN";
inline constexpr const char* kPolicyKey = "SOFTWARE\\Policies\\Velmora\\VPN";

// SERVER the server, PROTOCOL "L2TP" or "PPTP", IPSEC 0/1, PSK the preshared key, SUITE a cipher
// suite, REMOTENET1 and REMOTENET2 "network/mask", DEFAULTGATEWAY 0/1, AUTODIAL 0/1.
inline constexpr std::array<const char*, 9> kAdministratorSettings = {
    "SERVER", "PROTOCOL", "IPSEC", "PSK", "SUITE", "REMOTENET1", "REMOTENET2", "DEFAULTGATEWAY", "AUTODIAL",
};

// Setting name to value, for the settings the key holds (text values, or numbers as decimals).
using AdministratorSettings = std::map<std::string, std::string>;

AdministratorSettings readAdministratorSettings(Registry& registry, const std::string& subkey);

// What a merge did, by setting name: the settings it put into the profile, and those whose value
// it could not use (the field keeps what it had).
struct AdministratorMerge {
    std::vector<std::string> applied;
    std::vector<std::string> unusable;
};

// Puts each usable setting into the profile where the settings file's lines (as read, missing
// ones counting as empty) leave its field empty.
AdministratorMerge fillFromAdministratorProfile(const std::vector<std::string>& settingsLines,
                                                const AdministratorSettings& profile, ConnProfile& p);

// Puts each usable setting into the profile, whatever it held.
AdministratorMerge applyPolicies(const AdministratorSettings& policies, ConnProfile& p);

// The window's controls that a setting fills.
std::vector<Control> controlsOfSetting(const std::string& name);

// Copies the fields of the settings named from one profile into another.
void keepSettings(const std::vector<std::string>& names, const ConnProfile& from, ConnProfile& to);

}  // namespace velmora
