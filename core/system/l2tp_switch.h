// The registry switch that keeps the system's own L2TP IPsec policy out of the way: the value
// "ProhibitIpsec" must hold the 32-bit number 1, and a change takes effect after a restart.
#pragma once

#include "core/log/connection_log.h"
#include "core/profile/control_surface.h"
#include "core/service/operations.h"
#include "platform/clock.h"
#include "platform/registry.h"

namespace velmora {

inline constexpr const char* kRasManParameters =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\RasMan\\Parameters";
inline constexpr const char* kProhibitIpsec = "ProhibitIpsec";

inline constexpr const char* kRestartMessage = "注册表已经修改，需要重新启动计算机才能生效！";
inline constexpr const char* kWriteFailedMessage = "注册表修改失败！请以管理员身份运行本程序。";

inline constexpr const char* kRestartPendingMessage =
    "安装程序修改了注册表设置 ProhibitIpsec，计算机重新启动后才能生效，重新启动之前不能建立连接。请先重新启动计算机！";

// Where an installer that changed the switch records when, as a decimal count of the system
// time: velmora-setup.exe in its Add/Remove Programs entry, velmora.msi in its own record.
inline constexpr const char* kSetupSwitchRecords[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora",
    "SOFTWARE\\Velmora\\Setup",
};
inline constexpr const char* kSwitchSetAt = "SwitchSetAt";

// Whether start-up goes on after a step that can end the program.
enum class StartUp { carryOn, endProgram };

// Whether the switch reads as the integer 1 (at most four bytes of any type, little-endian).
bool l2tpSwitchSet(Registry& registry);

// Writes 1 unless the switch reads as 1 (another number, absent, longer than four bytes,
// unreadable), creating the key when it is missing.
SwitchChange writeL2tpSwitch(Registry& registry);

// Reads the switch; when it does not read as 1, has the operations write it and tells the user
// to restart the computer, or that the write failed; the log has which. In both cases the
// program then ends.
StartUp modifyL2tpReg(Registry& registry, Operations& operations, ControlSurface& window, ConnectionLog& log);

// Reminds the user when an installer changed the switch after Windows last started, which the
// restart it asked for has not yet followed; start-up goes on.
void remindOfPendingRestart(Registry& registry, Clock& clock, ControlSurface& window, ConnectionLog& log);

}  // namespace velmora
