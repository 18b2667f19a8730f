#include "core/connection/dial_failure.h"

#include <array>

#include "core/text/text.h"

namespace velmora {

namespace {

// What to check, by the kind of failure; "{folder}" stands for the phonebooks' folder. Options are
// named by their captions as the window shows them.
constexpr const char* kCredentials =
    "请检查VPN用户名和VPN密码。启用“验证硬件特征码”时，密码前还会加上特征码，服务器须认可该特征码。";
constexpr const char* kCredentialsAlone = "请检查VPN用户名和VPN密码。";
constexpr const char* kNoDialIn = "该帐户没有拨入权限，请联系VPN管理员。";
constexpr const char* kUnreachable = "请检查“高级选项”中的隧道主机名或IP地址，以及本机能否连上网络。";
constexpr const char* kNameNotFound =
    "无法解析服务器的主机名：请检查“高级选项”中的隧道主机名，或改填服务器的IP地址。";
// This program's L2TP tunnel runs without IPsec: an IPsec failure of the tunnel means Windows' own
// L2TP policy is still in force, or another policy covers the L2TP traffic.
constexpr const char* kTunnelIpsec =
    "L2TP隧道本身不使用IPSec，出现此错误说明注册表开关（HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
    "Services\\RasMan\\Parameters 中的 ProhibitIpsec）尚未生效（设置后须重新启动计算机），或本机另有IPSec策略"
    "涵盖了L2TP的通信。预共享的密钥和加密认证算法与此无关。";
constexpr const char* kTunnelIpsecTimeout =
    "L2TP隧道本身不使用IPSec，出现此错误说明注册表开关（HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
    "Services\\RasMan\\Parameters 中的 ProhibitIpsec）尚未生效（设置后须重新启动计算机），或本机另有IPSec策略"
    "涵盖了L2TP的通信；IPSec协商所用的UDP 500和4500端口也没有得到回应。预共享的密钥和加密认证算法与此无关。";
constexpr const char* kTunnelCertificate =
    "L2TP隧道在尝试以证书进行IPSec认证，而本程序的L2TP隧道不使用IPSec：说明注册表开关（HKEY_LOCAL_MACHINE\\"
    "System\\CurrentControlSet\\Services\\RasMan\\Parameters 中的 ProhibitIpsec）尚未生效，请重新启动计算机。";
constexpr const char* kL2tpBlocked =
    "L2TP的通信（UDP 1701端口）没有到达服务器，或服务器只接受在隧道上使用IPSec的L2TP：请检查网络和防火墙，"
    "或请VPN管理员确认服务器的设置。";
constexpr const char* kPptpBlocked =
    "PPTP的通信（TCP 1723端口和GRE协议）没有到达服务器：请检查网络和防火墙，或请VPN管理员确认服务器的设置。";
constexpr const char* kAlreadyDisconnecting = "该连接正在断开：请稍候几秒再连接。";
constexpr const char* kEndedByServer =
    "连接在建立过程中被服务器断开：请检查VPN用户名、VPN密码和“高级选项”中的隧道协议；若一再出现，请联系VPN管理员。";
constexpr const char* kEndedHere = "连接在拨号过程中被本机断开：如仍需连接，请重新连接。";
constexpr const char* kDeviceError = "本机的VPN设备（WAN Miniport）出错：请重新启动计算机后再试。";
constexpr const char* kAlreadyDialling =
    "该连接已在拨号或已连接：请等它结束，或先在Windows的“网络连接”中断开它，然后再连接。";
constexpr const char* kGreBlocked = "PPTP的数据被网络阻断：请在“高级选项”中改用L2TP，或请网络管理员放行GRE协议。";
constexpr const char* kNoControlProtocol =
    "没有可用的PPP控制协议：多为服务器未能分配地址，或本机的网络组件（TCP/IP）未装好，请联系VPN管理员。";
constexpr const char* kPolicyRefused =
    "服务器的策略拒绝了此连接（不允许所用的认证方式或该帐户）：请联系VPN管理员。";
constexpr const char* kPortClosed =
    "未能与服务器建立连接：请检查“高级选项”中的隧道主机名或IP地址，以及防火墙是否放行VPN的通信"
    "（L2TP为UDP 1701端口，PPTP为TCP 1723端口和GRE协议）。";
constexpr const char* kPortInUse = "本机的VPN端口正在使用或未配置好：请先断开其他VPN连接，或重新启动计算机后再试。";
constexpr const char* kNoResponse = "服务器没有及时响应：请稍后再试；若一再出现，请联系VPN管理员。";
constexpr const char* kLinkControlEnded =
    "PPP链路控制协议被终止：多为本机与服务器的加密或认证设置不一致，请联系VPN管理员。";
constexpr const char* kLocalEncryption = "本机不支持服务器要求的数据加密类型：请联系VPN管理员确认加密要求。";
constexpr const char* kRemoteEncryption = "服务器不支持本机要求的数据加密类型：请联系VPN管理员。";
constexpr const char* kPhonebook =
    "每次拨号之前，电话簿 ipsec.pbk 或 pptp.pbk 写入 {folder}：请确认该文件夹存在并且可以写入。"
    "选中“在远程网络上使用默认网关”时，该文件夹中须有安装程序放入的 defaultgate.pbk。";

struct Hint {
    std::uint32_t code;
    const char* text;
};

// The remote-access codes users meet most.
constexpr std::array<Hint, 37> kHints = {{
    {691, kCredentials},         // authentication failed
    {649, kNoDialIn},            // the account may not dial in
    {678, kUnreachable},         // no answer
    {769, kUnreachable},         // the destination cannot be reached
    {800, kUnreachable},         // the VPN connection could not be made
    {868, kNameNotFound},        // the server's name did not resolve
    {786, kTunnelIpsec},         // IPsec: no valid machine certificate
    {787, kTunnelIpsec},         // IPsec: the server could not be authenticated
    {788, kTunnelIpsec},         // IPsec: attributes refused
    {789, kTunnelIpsec},         // IPsec: processing error in the negotiation
    {790, kTunnelIpsec},         // IPsec: the server's certificate failed
    {791, kTunnelIpsec},         // IPsec: no security policy found
    {792, kTunnelIpsecTimeout},  // IPsec: the negotiation timed out
    {793, kTunnelIpsec},         // IPsec: an error in the negotiation
    {827, kTunnelIpsec},         // IPsec: the security layer could not be set up
    {835, kTunnelIpsec},         // IPsec: the server could not be authenticated
    {766, kTunnelCertificate},   // no certificate for L2TP over IPsec
    {781, kTunnelCertificate},   // no valid certificate for the encryption (Windows XP)
    {809, kL2tpBlocked},         // no answer from the server
    {806, kGreBlocked},          // PPTP's GRE blocked on the way
    {720, kNoControlProtocol},   // no PPP control protocols configured
    {812, kPolicyRefused},       // refused by the server's policy
    {619, kPortClosed},          // no connection: the port was closed
    {633, kPortInUse},           // the port is in use or not configured
    {718, kNoResponse},          // the server did not answer in time
    {734, kLinkControlEnded},    // the PPP link control protocol ended
    {741, kLocalEncryption},     // this computer lacks the encryption asked for
    {742, kRemoteEncryption},    // the server lacks the encryption asked for
    {621, kPhonebook},           // the phonebook cannot be opened
    {623, kPhonebook},           // the entry is not in the phonebook
    {625, kPhonebook},           // the phonebook holds invalid data
    {617, kAlreadyDisconnecting},  // the connection is still being ended (a Connect right after Stop)
    {628, kEndedByServer},       // the connection was closed while it was being made
    {629, kEndedByServer},       // the connection was closed by the remote computer
    {631, kEndedHere},           // the port was disconnected by the user
    {651, kDeviceError},         // the device reported an error
    {756, kAlreadyDialling},     // the connection is already being dialled
}};

constexpr std::uint32_t kFirstRemoteAccessCode = 600;
constexpr std::uint32_t kLastRemoteAccessCode = 999;

std::string withFolder(std::string text, const std::string& phonebookFolder) {
    const std::string mark = "{folder}";
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) {
        text.replace(at, mark.size(), phonebookFolder);
    }
    return text;
}

}  // namespace

std::string dialFailureHint(std::uint32_t code, const std::string& phonebookFolder, DialKind kind) {
    if (code == 691 && !kind.hardwareCode) {
        return kCredentialsAlone;
    }
    if (code == 809 && kind.pptp) {
        return kPptpBlocked;
    }
    for (const Hint& hint : kHints) {
        if (hint.code == code) {
            return withFolder(hint.text, phonebookFolder);
        }
    }
    return {};
}

std::string dialFailureMessage(std::optional<std::uint32_t> status, const std::string& description,
                               const std::string& phonebookFolder, DialKind kind) {
    const char* headline = kind.pptp ? kPptpDialFailed : kDialFailed;
    if (!status || *status == 0) {
        return headline;
    }
    const std::string failed = std::string(headline) + "\n\n";
    if (*status < kFirstRemoteAccessCode || *status > kLastRemoteAccessCode) {
        return failed + "rasdial 退出码 " + exitStatusText(*status);
    }
    std::string message = failed + "错误 " + std::to_string(*status) + "：" +
                          (description.empty() ? std::string("系统没有此错误的说明。") : description);
    const std::string hint = dialFailureHint(*status, phonebookFolder, kind);
    if (!hint.empty()) {
        message += "\n" + hint;
    }
    return message;
}

}  // namespace velmora
