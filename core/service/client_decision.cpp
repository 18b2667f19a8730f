#include "core/service/client_decision.h"

namespace velmora {

ClientDecision decideClient(const ClientFacts& facts, const AccessPolicy& policy) {
    if (facts.remote) {
        return {false, "Velmora VPN 服务只为本计算机上的程序工作，不接受来自网络的请求。"};
    }
    if (facts.lowIntegrity) {
        return {false, "Velmora VPN 服务不接受以低完整性级别运行的程序的请求。"};
    }
    if (facts.administrator) {
        return {true, {}};
    }
    if (!facts.interactive) {
        return {false, "Velmora VPN 服务只为在本计算机上登录的用户工作。"};
    }
    if (!policy.allowedGroup.empty() && !facts.inAllowedGroup) {
        return {false, "管理员设定只有组“" + policy.allowedGroup +
                           "”的成员可以使用 Velmora VPN，您不在其中。请与管理员联系。"};
    }
    return {true, {}};
}

}  // namespace velmora
