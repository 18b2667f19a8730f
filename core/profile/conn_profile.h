// The connection profile: the eighteen fields the user edits, their design-time values,
// the values a load falls back on, the input limits and the cipher suites offered.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "core/profile/control_surface.h"

namespace velmora {

// Check-box values.
constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
constexpr int kGreyed = 2;

// Option1 indices.
constexpr int kProtocolL2tp = 0;
constexpr int kProtocolPptp = 1;

// Input limits of the boxes, in characters.
constexpr std::size_t kAddressMaxChars = 15;
constexpr std::size_t kPreshareMaxChars = 128;

// The entry every dial names, and the default entry the window watches.
inline constexpr const char* kEntryName = "corvinaltexum";

// The cipher suites of comalg, in list order.
inline constexpr std::array<const char*, 6> kCipherSuites = {
    "ESP-DES", "ESP-3DES", "ESP-DES-MD5", "ESP-3DES-MD5", "ESP-DES-SHA", "ESP-3DES-SHA",
};

// A snapshot of the window's profile controls, taken when an operation starts.
struct ConnProfile {
    std::string txtConnName;
    std::string txtpeer;
    std::string txtpeermask;
    std::string txtlocal;
    std::string txtpreshare;
    std::string comalg;
    std::string txtServerAddress;
    std::string txtUserName;
    std::string txtPasswd;
    int Check1 = kUnchecked;
    int Check2 = kUnchecked;
    int Check3 = kUnchecked;
    int Option1 = kProtocolPptp;
    int checkHD = kUnchecked;
    std::string txtpeer2;
    std::string txtpeermask2;
    std::string txtHD;
    int Check4 = kUnchecked;
};

// The values the window is created with.
ConnProfile designTimeProfile();

// The values a load puts in where no stored setting is usable; txtHD and Check4 are never
// loaded, so they keep their design-time values.
ConnProfile fallbackProfile();

// Reads all eighteen fields from the window.
ConnProfile readProfile(const ControlSurface& window);

}  // namespace velmora
