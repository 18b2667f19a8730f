#include "core/log/connection_log.h"

#include "core/ipsec/policy_commands.h"
#include "core/text/text.h"

namespace velmora {

namespace {

std::string padded(int value, std::size_t digits) {
    std::string text = std::to_string(value);
    return text.size() < digits ? std::string(digits - text.size(), '0') + text : text;
}

std::string originText(Origin origin) {
    switch (origin) {
    case Origin::window: return "窗口按钮";
    case Origin::tray: return "托盘菜单";
    case Origin::autoDial: return "自动拨号";
    case Origin::script: return "命令行";
    }
    return {};
}

std::string endReasonText(EndReason reason) {
    switch (reason) {
    case EndReason::windowClosed: return "关闭窗口";
    case EndReason::trayExit: return "托盘菜单“退出”";
    case EndReason::sessionEnding: return "Windows 会话结束";
    case EndReason::scriptExit: return "命令行 /exit";
    }
    return {};
}

// Tenths of a second, rounded: "3.2".
std::string secondsText(std::uint32_t milliseconds) {
    const std::uint32_t tenths = (milliseconds + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// "SERVER、PSK"
std::string settingNames(const std::vector<std::string>& settings) {
    std::string text;
    for (const std::string& name : settings) {
        text += (text.empty() ? "" : "、") + name;
    }
    return text;
}

}  // namespace

std::string timestamp(const LocalTime& t) {
    return padded(t.year, 4) + "-" + padded(t.month, 2) + "-" + padded(t.day, 2) + " " + padded(t.hour, 2) + ":" +
           padded(t.minute, 2) + ":" + padded(t.second, 2);
}

void ConnectionLog::write(const std::string& event) {
    file_.append(timestamp(clock_.localTime()) + " " + event);
}

void ConnectionLog::programStarted(const std::string& programVersion, const std::string& windowsVersion,
                                   std::uint32_t build, const std::string& servicePack, const std::string& ipsecTool) {
    write("程序启动：Velmora VPN " + programVersion + "，Windows " + windowsVersion +
          (build != 0 ? "." + std::to_string(build) : std::string()) +
          (servicePack.empty() ? "" : " " + servicePack) + "，IPSec策略工具 " + ipsecTool);
}

void ConnectionLog::registrySwitchSet(bool written) {
    write(written ? "注册表值 ProhibitIpsec 已设为 1，需要重新启动计算机才能生效，程序结束"
                  : "注册表值 ProhibitIpsec 写入失败，程序结束");
}

void ConnectionLog::restartPending() {
    write("安装程序修改了注册表值 ProhibitIpsec 之后计算机尚未重新启动，已提醒用户");
}

void ConnectionLog::connectAsked(Origin origin) {
    write("请求连接（" + originText(origin) + "）");
}

void ConnectionLog::connectRefused(const std::string& checkMessage) {
    write("连接未进行，参数检查未通过：" + checkMessage);
}

void ConnectionLog::messageForScript(const std::string& message) {
    write("命令行的请求：" + message);
}

void ConnectionLog::policyPair(const std::string& strActive, const std::string& ipsecTool,
                               const std::vector<std::optional<std::uint32_t>>& exitStatuses) {
    std::string event = "IPSec策略" + strActive + (strActive == kPolicyOff ? "（撤销）" : "（应用）") + "：" + ipsecTool;
    for (std::size_t i = 0; i < exitStatuses.size(); ++i) {
        event += i == 0 ? "，退出码 " : "、";
        event += exitStatuses[i] ? exitStatusText(*exitStatuses[i]) : "未能启动";
    }
    write(event);
}

void ConnectionLog::dialStarted(const std::string& entry, const std::string& phonebook, const std::string& server,
                                const std::string& protocol, Origin origin) {
    dialStartedAt_ = clock_.milliseconds();
    write("开始拨号（" + originText(origin) + "）：服务器 " + server + "，" + protocol + "，条目 " + entry + "，电话簿 " +
          phonebook);
}

std::string ConnectionLog::dialTime() const {
    return "用时 " + secondsText(clock_.milliseconds() - dialStartedAt_) + " 秒";
}

void ConnectionLog::dialConnected(const std::string& tunnelAddress, bool defaultGateway) {
    std::string event = "拨号结束：已连接，" + dialTime();
    if (defaultGateway) {
        event += "，使用远程网络上的默认网关";
    } else {
        event += tunnelAddress.empty() ? std::string("，没有找到新的隧道地址") : "，隧道地址 " + tunnelAddress;
    }
    write(event);
}

void ConnectionLog::dialNotConnected(std::optional<std::uint32_t> exitStatus, const std::string& description) {
    if (!exitStatus) {
        write("拨号结束：未连接，rasdial 未能启动");
        return;
    }
    std::string event = "拨号结束：未连接，" + dialTime() + "，";
    if (*exitStatus == 0) {
        event += "rasdial 退出码 0，但连接没有建立";
    } else if (*exitStatus >= 600 && *exitStatus <= 999) {
        event += "错误 " + std::to_string(*exitStatus) + "：" +
                 (description.empty() ? std::string("系统没有此错误的说明。") : description);
    } else {
        event += "rasdial 退出码 " + exitStatusText(*exitStatus);
    }
    write(event);
}

void ConnectionLog::dialCancelled(CancelledBy by) {
    write("拨号结束：已取消，" + dialTime() + "（" + (by == CancelledBy::stop ? "请求停止" : "退出程序") + "）");
}

void ConnectionLog::hungUp(const std::string& entry, std::uint64_t handle) {
    write("挂断连接：条目 " + entry + "，句柄 " + std::to_string(handle));
}

void ConnectionLog::hangUpUnfinished(std::uint64_t handle, std::uint32_t waitedMs) {
    write("连接（句柄 " + std::to_string(handle) + "）挂断后 " + secondsText(waitedMs) + " 秒仍未结束");
}

void ConnectionLog::routesStarted(const std::vector<std::string>& routeCommands) {
    std::string event = "添加路由：";
    for (std::size_t i = 0; i < routeCommands.size(); ++i) {
        event += (i == 0 ? "" : "；") + routeCommands[i];
    }
    write(event);
}

void ConnectionLog::linkDown(const std::string& entry) {
    write("链路断开：" + entry);
}

void ConnectionLog::linkUpAgain(const std::string& entry) {
    write("链路恢复：" + entry);
}

void ConnectionLog::systemResumed() {
    write("系统从睡眠或休眠中恢复");
}

void ConnectionLog::deadLinkHungUp(const std::string& entry) {
    write("链路已列出但隧道不通，挂断后重拨：" + entry);
}

void ConnectionLog::autoRedial(int count) {
    write("自动重拨：第 " + std::to_string(count) + " 次");
}

void ConnectionLog::stopAsked(Origin origin) {
    write("请求停止（" + originText(origin) + "）");
}

void ConnectionLog::programEnding(EndReason reason) {
    write("退出程序（" + endReasonText(reason) + "）");
}

void ConnectionLog::logonStartChanged(bool on, bool done, const std::string& place) {
    const std::string change = on ? "开启" : "关闭";
    write((done ? "登录时启动已" + change : "无法" + change + "登录时启动") + "（" + place + "）");
}

void ConnectionLog::earlierLogonTaskMoved(const std::string& place) {
    write("早先版本的登录时启动计划任务已删除，改为 " + place);
}

void ConnectionLog::settingsNotWritten(const std::string& path) {
    write("无法写入配置文件 " + path);
}

void ConnectionLog::administratorProfileUsed(const std::vector<std::string>& filled,
                                             const std::vector<std::string>& unusable) {
    if (!filled.empty()) {
        write("管理员配置填入了配置文件尚未保存的设置：" + settingNames(filled));
    }
    if (!unusable.empty()) {
        write("管理员配置中的设置无效，未使用：" + settingNames(unusable));
    }
}

void ConnectionLog::policiesApplied(const std::vector<std::string>& fixed, const std::vector<std::string>& unusable) {
    if (!fixed.empty()) {
        write("组策略设定了以下设置，用户不能修改：" + settingNames(fixed));
    }
    if (!unusable.empty()) {
        write("组策略中的设置无效，未使用：" + settingNames(unusable));
    }
}

void ConnectionLog::phonebookNotWritten(const std::string& path) {
    write("无法写入电话簿文件 " + path);
}

void ConnectionLog::settingsCarriedOver(const std::string& from, const std::string& to) {
    write("早先版本的配置文件 " + from + " 已移为本用户的配置文件 " + to);
}

void ConnectionLog::operationRefused(const std::string& why) {
    write("请求未执行：" + why);
}

void ConnectionLog::settingsFileAccess(FileAccess access, const std::string& path) {
    switch (access) {
    case FileAccess::restrictedNow:
        write("其他用户可以读取或更改配置文件，已改为只有本用户、管理员和系统可以访问：" + path);
        break;
    case FileAccess::failed:
        write("配置文件属于其他用户或无法改为只有本用户、管理员和系统可以访问，没有读取：" + path);
        break;
    case FileAccess::openToAll:
        write("配置文件所在的文件系统不保存权限，本机所有用户都能读取和更改：" + path);
        break;
    case FileAccess::restricted:
    case FileAccess::notFound:
        break;
    }
}

}  // namespace velmora
