#include "core/service/service_log.h"

#include "core/log/connection_log.h"

namespace velmora {

void ServiceLog::write(const std::string& event) {
    file_.append(timestamp(clock_.localTime()) + " " + event);
}

void ServiceLog::serviceStarted(const std::string& version, const std::string& ipsecTool) {
    write("服务启动：Velmora VPN " + version + "，IPSec策略工具 " + ipsecTool);
}

void ServiceLog::serviceStopping(bool shutDown) {
    write(shutDown ? "Windows 关机，服务结束" : "服务停止");
}

void ServiceLog::clientConnected(const ClientFacts& facts, const ClientDecision& decision) {
    const std::string who = facts.user + "（会话 " + std::to_string(facts.session) + "）";
    write(decision.served ? "客户端连接：" + who : "拒绝客户端：" + who + "，" + decision.refusal);
}

void ServiceLog::clientGone(const std::string& user) {
    write("客户端结束：" + user);
}

void ServiceLog::operation(const std::string& user, const std::string& what) {
    write("为 " + user + " " + what);
}

void ServiceLog::refused(const std::string& user, const std::string& what, const std::string& why) {
    write("拒绝 " + user + " 的请求（" + what + "）：" + why);
}

void ServiceLog::malformed(const std::string& user, bool clientEnded) {
    write("无法读懂 " + user + " 的请求" + (clientEnded ? "，断开该客户端" : "，已拒绝"));
}

void ServiceLog::tookBack(const std::string& user, const std::string& what) {
    write("客户端 " + user + " 已结束，收回：" + what);
}

void ServiceLog::cleanedUp(const std::string& user) {
    write("客户端 " + user + " 留下的连接、IPSec策略和路由已全部收回");
}

}  // namespace velmora
