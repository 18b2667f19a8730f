#include "ui/tray_state.h"

namespace velmora {

namespace {

constexpr const char* kFirstLine = "IPSec Over L2tp\n";

}  // namespace

TrayState trayState(const LinkStatus& status, const std::string& address) {
    if (const auto work = status.work()) {
        return {TrayImage::working,
                kFirstLine + std::string(*work == LinkStatus::Work::dialling ? "正在拨号…" : "正在设置IPSec策略…")};
    }
    if (status.up()) {
        return {TrayImage::connected, kFirstLine + std::string("已连接") + (address.empty() ? "" : " " + address) +
                                          (status.policyFailed() ? "，IPSec策略未生效" : "")};
    }
    if (status.autoDialFailures() > 0) {
        return {TrayImage::notConnected,
                kFirstLine + std::string("自动拨号：") + std::to_string(status.autoDialFailures()) + " 次失败"};
    }
    return {TrayImage::notConnected, kFirstLine + std::string("未连接")};
}

}  // namespace velmora
