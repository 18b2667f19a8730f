#include "core/connection/phonebook.h"

#include <algorithm>
#include <iterator>

#include "core/profile/conn_profile.h"

namespace velmora {

std::vector<std::string> phonebookLines(int protocol) {
    const bool pptp = protocol == kProtocolPptp;
    std::vector<std::string> lines = {
        "[corvinaltexum]",
        "Encoding=1",
        "Type=2",
        "AutoLogon=0",
        "UseRasCredentials=1",
        "DialParamsUID=89062953",
        "Guid=6CA141EC9C715B4184B0D8FD92F4FAEE",
        "BaseProtocol=1",
        pptp ? "VpnStrategy=1" : "VpnStrategy=3",
        "ExcludedProtocols=0",
        "LcpExtensions=1",
        "DataEncryption=8",
        "SwCompression=1",
        "NegotiateMultilinkAlways=1",
        "SkipNwcWarning=0",
        "SkipDownLevelDialog=0",
        "SkipDoubleDialDialog=0",
        "DialMode=1",
        "DialPercent=75",
        "DialSeconds=120",
        "HangUpPercent=10",
        "HangUpSeconds=120",
        "OverridePref=15",
        "RedialAttempts=3",
        "RedialSeconds=60",
        "IdleDisconnectSeconds=0",
        "RedialOnLinkFailure=0",
        "CallbackMode=0",
        "CustomDialDll=",
        "CustomDialFunc=",
        "CustomRasDialDll=",
        "AuthenticateServer=0",
        "ShareMsFilePrint=1",
        "BindMsNetClient=1",
        "SharedPhoneNumbers=0",
        "GlobalDeviceSettings=0",
        "PrerequisiteEntry=",
        "PrerequisitePbk=",
        "PreferredPort=VPN1-0",
        "PreferredDevice=WAN 微型端口 (L2TP)",
        "PreferredBps=0",
        "PreferredHwFlow=1",
        "PreferredProtocol=1",
        "PreferredCompression=1",
        "PreferredSpeaker=1",
        "PreferredMdmProtocol=0",
        "PreviewUserPw=1",
        "PreviewDomain=0",
        "PreviewPhoneNumber=0",
        "ShowDialingProgress=1",
        "ShowMonitorIconInTaskBar=1",
        "CustomAuthKey=-1",
        "AuthRestrictions=872",
        "TypicalAuth=2",
        "IpPrioritizeRemote=0",
        "IpHeaderCompression=0",
        "IpAddress=0.0.0.0",
        "IpDnsAddress=0.0.0.0",
        "IpDns2Address=0.0.0.0",
        "IpWinsAddress=0.0.0.0",
        "IpWins2Address=0.0.0.0",
        "IpAssign=1",
        "IpNameAssign=1",
        "IpFrameSize=0",
        "IpDnsFlags=1",
        "IpNBTFlags=1",
        "TcpWindowSize=0",
        "UseFlags=0",
        "IpSecFlags=0",
        "IpDnsSuffix=",
        "",
        "NETCOMPONENTS=",
        "ms_server=1",
        "ms_msclient=1",
    };
    if (pptp) {
        lines.push_back("ms_psched=1");
    }
    const char* const tail[] = {
        "",
        "MEDIA=rastapi",
        "Port=VPN4-0",
        "Device=WAN 微型端口 (L2TP)",
        "",
        "DEVICE=vpn",
        // Server, user and password reach the service on the rasdial command line only.
        "PhoneNumber=",
        "AreaCode=",
        "CountryCode=86",
        "CountryID=86",
        "UseDialingRules=0",
        "Comment=",
        "LastSelectedPhone=0",
        "PromoteAlternates=0",
        "TryNextAlternateOnFail=1",
        "",
        "",
    };
    lines.insert(lines.end(), std::begin(tail), std::end(tail));
    return lines;
}

// The default-gateway dial runs without the IPsec policy, whichever protocol the window shows:
// so its entry is the PPTP one, which encrypts the tunnel itself, where L2TP would run without
// protection. IpPrioritizeRemote=1 makes the remote network's gateway the default one, so all
// traffic goes through the tunnel and no route needs adding.
std::vector<std::string> defaultGatewayPhonebookLines() {
    std::vector<std::string> lines = phonebookLines(kProtocolPptp);
    std::replace(lines.begin(), lines.end(), std::string("IpPrioritizeRemote=0"), std::string("IpPrioritizeRemote=1"));
    return lines;
}

}  // namespace velmora
