#include "core/connection/dialer.h"

#include "core/connection/address_snapshot.h"
#include "core/connection/dial_commands.h"
#include "core/profile/conn_profile.h"
#include "core/profile/validation.h"
#include "core/system/data_folder.h"
#include "core/text/text.h"

namespace velmora {

namespace {

constexpr const char* kDialSucceeded = "拨号成功！";
constexpr const char* kDialFailed = "拨号失败！请检查L2TP参数重新拨号！";
constexpr const char* kBadNetwork1 = "远端内网地址和掩码错误！";
constexpr const char* kNoNetwork = "0.0.0.0";

}  // namespace

void Dialer::dialtol2tp(const std::string& connName) {
    const ConnProfile profile = readProfile(window_);
    const std::string peer = trimBlanks(profile.txtpeer);
    const std::string mask = trimBlanks(profile.txtpeermask);
    const std::string peer2 = trimBlanks(profile.txtpeer2);
    const std::string mask2 = trimBlanks(profile.txtpeermask2);
    if (!checkip(peer) || !checkip(mask)) {
        window_.showMessage(kBadNetwork1);
        return;
    }
    const std::string net1 = getipnetaddress(peer, mask);
    const std::string net2 = getipnetaddress(peer2, mask2);
    const std::string line = rasdialLine(profile, getDataFolder(shell_));

    const auto before = readIpAddrTable(ipHelper_, window_);
    processes_.runAndWait(line);
    const auto after = readIpAddrTable(ipHelper_, window_);
    const bool up = linkQuery_.getL2tpState(connName);

    if (up && before && after) {
        if (const auto tunnel = firstNewAddress(*before, *after)) {
            routeCmd1_ = routeLine(net1, mask, *tunnel);
            routeCmd2_ = net2 != kNoNetwork ? routeLine(net2, mask2, *tunnel) : std::string();
            window_.setText(Control::txtlocal, *tunnel);
            if (window_.value(Control::Check1) == kUnchecked && window_.value(Control::Check2) == kUnchecked) {
                routeAdd();
            }
        }
    }
    if (window_.value(Control::Check3) == kUnchecked) {
        reportDial(up);
    }
}

void Dialer::dialtol2tp_defaultgate(const std::string& connName) {
    processes_.runAndWait(defaultGateRasdialLine(readProfile(window_)));
    reportDial(linkQuery_.getL2tpState(connName));
}

void Dialer::routeAdd() {
    if (!routeCmd1_.empty()) {
        processes_.startHidden(routeCmd1_);
    }
    if (!routeCmd2_.empty()) {
        processes_.startHidden(routeCmd2_);
    }
}

void Dialer::reportDial(bool up) {
    window_.showMessage(up ? kDialSucceeded : kDialFailed);
}

}  // namespace velmora
