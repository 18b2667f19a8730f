// How the window reaches what needs an administrator, decided once at its start: through the
// service where one answers and serves its user; where none answers, in its own process where it
// has administrator rights, else it offers to start itself with them.
#pragma once

#include <optional>
#include <string>

#include "core/service/client_decision.h"

namespace velmora {

enum class OperationsWay {
    service,         // the service's
    ownProcess,      // this process's own, with its administrator rights
    offerElevation,  // none: ask whether to start again with administrator rights
    refused,         // the service refuses this user: tell why and end
};

struct OperationsChoice {
    OperationsWay way = OperationsWay::service;
    std::string message;  // what to tell or ask, for the last two
};

inline constexpr const char* kServiceMissing =
    "Velmora VPN 服务没有运行，本程序无法设置IPSec策略、路由和拨号。请与管理员联系，"
    "或重新安装 Velmora VPN。\n\n要以管理员身份重新启动本程序吗？";

// service: the service's answer to the greeting, nothing when no service answered.
OperationsChoice chooseOperations(const std::optional<ClientDecision>& service, bool administrator);

}  // namespace velmora
