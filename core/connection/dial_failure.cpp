#include "core/connection/dial_failure.h"

#include <array>

namespace velmora {

namespace {

// What to check, by the kind of failure; "{folder}" stands for the data folder.
constexpr const char* kCredentials =
    "请检查VPN用户名和VPN密码。启用“验证硬件特征码”时，密码前还会加上特征码，服务器须认可该特征码。";
constexpr const char* kNoDialIn = "该帐户没有拨入权限，请联系VPN管理员。";
constexpr const char* kUnreachable =
    "请检查“高级选项”中的隧道主机名或IP地址，以及本机能否连上网络。";
constexpr const char* kNameNotFound = "找不到服务器的名称：请检查“高级选项”中的隧道主机名，或改填服务器的IP地址。";
constexpr const char* kIpsecNegotiation =
    "IPSec协商失败：请检查预共享的密钥和加密认证算法是否与服务器一致；它们保存在配置文件 {folder}l2tpipsec.ini 中。";
// The system keeps L2TP/IPsec from crossing NAT until an administrator allows it and restarts.
constexpr const char* kBehindNat =
    "服务器或本机位于NAT设备之后时，须由管理员在注册表中把 "
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\PolicyAgent\\AssumeUDPEncapsulationContextOnSendRule"
    "（Windows XP 为 ...\\Services\\IPSec\\ 下的同名值）设为 DWORD 2，然后重新启动计算机。";
constexpr const char* kGreBlocked = "PPTP的数据被网络阻断：请在“高级选项”中改用L2TP，或请网络管理员放行GRE协议。";
constexpr const char* kTunnelRefused =
    "服务器不接受此连接的隧道协议或认证方式：请确认“高级选项”中的协议（L2TP或PPTP）与服务器要求的一致。";
constexpr const char* kPhonebook =
    "程序每次启动时在 {folder} 写入电话簿 ipsec.pbk 和 pptp.pbk：请确认该文件夹可以写入，然后重新启动本程序。"
    "使用远程默认网关时，程序文件夹中须有安装程序放入的 defaultgate.pbk。";

struct Hint {
    std::uint32_t code;
    const char* text;
};

// The remote-access codes users meet most.
constexpr std::array<Hint, 15> kHints = {{
    {691, kCredentials},       // authentication failed
    {649, kNoDialIn},          // the account may not dial in
    {678, kUnreachable},       // no answer
    {800, kUnreachable},       // the VPN connection could not be made
    {868, kNameNotFound},      // the server's name did not resolve
    {788, kIpsecNegotiation},  // IPsec: attributes refused
    {789, kIpsecNegotiation},  // IPsec: processing error in the negotiation
    {792, kIpsecNegotiation},  // IPsec: the negotiation timed out
    {809, kBehindNat},         // no answer through NAT
    {806, kGreBlocked},        // PPTP's GRE blocked on the way
    {812, kTunnelRefused},     // refused by the server's policy
    {720, kTunnelRefused},     // no tunnel protocol in common
    {621, kPhonebook},         // the phonebook cannot be opened
    {623, kPhonebook},         // the entry is not in the phonebook
    {625, kPhonebook},         // the phonebook holds invalid data
}};

std::string withFolder(std::string text, const std::string& dataFolder) {
    const std::string mark = "{folder}";
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) {
        text.replace(at, mark.size(), dataFolder);
    }
    return text;
}

}  // namespace

std::string dialFailureHint(std::uint32_t code, const std::string& dataFolder) {
    for (const Hint& hint : kHints) {
        if (hint.code == code) {
            return withFolder(hint.text, dataFolder);
        }
    }
    return {};
}

std::string dialFailureMessage(std::optional<std::uint32_t> status, const std::string& description,
                               const std::string& dataFolder) {
    if (!status || *status == 0) {
        return kDialFailed;
    }
    std::string message = std::string(kDialFailed) + "\n\n错误 " + std::to_string(*status) + "：" + description;
    const std::string hint = dialFailureHint(*status, dataFolder);
    if (!hint.empty()) {
        message += "\n" + hint;
    }
    return message;
}

}  // namespace velmora
