// The bytes the program's files must hold, written out by hand from their formats (GBK for
// the Chinese text, CR LF after every line): shared by the unit tests and the Win32 tests.
#pragma once

#include <string>

#include "core/profile/conn_profile.h"

namespace velmora::testing {

// Lines 1 to 8 of both phonebooks.
inline const std::string kPhonebookHead =
    "[corvinaltexum]\r\n"
    "Encoding=1\r\n"
    "Type=2\r\n"
    "AutoLogon=0\r\n"
    "UseRasCredentials=1\r\n"
    "DialParamsUID=89062953\r\n"
    "Guid=6CA141EC9C715B4184B0D8FD92F4FAEE\r\n"
    "BaseProtocol=1\r\n";

// From ExcludedProtocols to TypicalAuth, the same in all three.
inline const std::string kPhonebookBodyBeforeGateway =
    "ExcludedProtocols=0\r\n"
    "LcpExtensions=1\r\n"
    "DataEncryption=8\r\n"
    "SwCompression=1\r\n"
    "NegotiateMultilinkAlways=1\r\n"
    "SkipNwcWarning=0\r\n"
    "SkipDownLevelDialog=0\r\n"
    "SkipDoubleDialDialog=0\r\n"
    "DialMode=1\r\n"
    "DialPercent=75\r\n"
    "DialSeconds=120\r\n"
    "HangUpPercent=10\r\n"
    "HangUpSeconds=120\r\n"
    "OverridePref=15\r\n"
    "RedialAttempts=3\r\n"
    "RedialSeconds=60\r\n"
    "IdleDisconnectSeconds=0\r\n"
    "RedialOnLinkFailure=0\r\n"
    "CallbackMode=0\r\n"
    "CustomDialDll=\r\n"
    "CustomDialFunc=\r\n"
    "CustomRasDialDll=\r\n"
    "AuthenticateServer=0\r\n"
    "ShareMsFilePrint=1\r\n"
    "BindMsNetClient=1\r\n"
    "SharedPhoneNumbers=0\r\n"
    "GlobalDeviceSettings=0\r\n"
    "PrerequisiteEntry=\r\n"
    "PrerequisitePbk=\r\n"
    "PreferredPort=VPN1-0\r\n"
    "PreferredDevice=WAN \xCE\xA2\xD0\xCD\xB6\xCB\xBF\xDA (L2TP)\r\n"
    "PreferredBps=0\r\n"
    "PreferredHwFlow=1\r\n"
    "PreferredProtocol=1\r\n"
    "PreferredCompression=1\r\n"
    "PreferredSpeaker=1\r\n"
    "PreferredMdmProtocol=0\r\n"
    "PreviewUserPw=1\r\n"
    "PreviewDomain=0\r\n"
    "PreviewPhoneNumber=0\r\n"
    "ShowDialingProgress=1\r\n"
    "ShowMonitorIconInTaskBar=1\r\n"
    "CustomAuthKey=-1\r\n"
    "AuthRestrictions=872\r\n"
    "TypicalAuth=2\r\n";

// From IpHeaderCompression to ms_msclient, the same in all three.
inline const std::string kPhonebookBodyAfterGateway =
    "IpHeaderCompression=0\r\n"
    "IpAddress=0.0.0.0\r\n"
    "IpDnsAddress=0.0.0.0\r\n"
    "IpDns2Address=0.0.0.0\r\n"
    "IpWinsAddress=0.0.0.0\r\n"
    "IpWins2Address=0.0.0.0\r\n"
    "IpAssign=1\r\n"
    "IpNameAssign=1\r\n"
    "IpFrameSize=0\r\n"
    "IpDnsFlags=1\r\n"
    "IpNBTFlags=1\r\n"
    "TcpWindowSize=0\r\n"
    "UseFlags=0\r\n"
    "IpSecFlags=0\r\n"
    "IpDnsSuffix=\r\n"
    "\r\n"
    "NETCOMPONENTS=\r\n"
    "ms_server=1\r\n"
    "ms_msclient=1\r\n";

// From the empty line before MEDIA to the end, the same in both.
inline const std::string kPhonebookTail =
    "\r\n"
    "MEDIA=rastapi\r\n"
    "Port=VPN4-0\r\n"
    "Device=WAN \xCE\xA2\xD0\xCD\xB6\xCB\xBF\xDA (L2TP)\r\n"
    "\r\n"
    "DEVICE=vpn\r\n"
    "PhoneNumber=\r\n"
    "AreaCode=\r\n"
    "CountryCode=86\r\n"
    "CountryID=86\r\n"
    "UseDialingRules=0\r\n"
    "Comment=\r\n"
    "LastSelectedPhone=0\r\n"
    "PromoteAlternates=0\r\n"
    "TryNextAlternateOnFail=1\r\n"
    "\r\n"
    "\r\n";

// From ExcludedProtocols to ms_msclient, the same in ipsec.pbk and pptp.pbk.
inline const std::string kPhonebookBody =
    kPhonebookBodyBeforeGateway + "IpPrioritizeRemote=0\r\n" + kPhonebookBodyAfterGateway;

inline const std::string kIpsecPbk = kPhonebookHead + "VpnStrategy=3\r\n" + kPhonebookBody + kPhonebookTail;
inline const std::string kPptpPbk =
    kPhonebookHead + "VpnStrategy=1\r\n" + kPhonebookBody + "ms_psched=1\r\n" + kPhonebookTail;
// The PPTP entry with the remote network's gateway as the default one.
inline const std::string kDefaultGatePbk = kPhonebookHead + "VpnStrategy=1\r\n" + kPhonebookBodyBeforeGateway +
                                           "IpPrioritizeRemote=1\r\n" + kPhonebookBodyAfterGateway +
                                           "ms_psched=1\r\n" + kPhonebookTail;

// A profile with blanks to trim, a Chinese user name and a greyed box.
inline ConnProfile settingsSample() {
    ConnProfile p;
    p.txtConnName = " corvinaltexum ";
    p.txtpeer = " 10.0.0.0";
    p.txtpeermask = "255.255.0.0";
    p.txtlocal = "10.10.10.4 ";
    p.txtpreshare = " key123 ";
    p.comalg = "ESP-3DES-SHA";
    p.txtServerAddress = "vpn.example.com";
    p.txtUserName = "  张三 ";
    p.txtPasswd = "abc";
    p.Check1 = kChecked;
    p.Check2 = kUnchecked;
    p.Check3 = kGreyed;
    p.Option1 = kProtocolL2tp;
    p.checkHD = kChecked;
    p.txtpeer2 = "200.200.0.0";
    p.txtpeermask2 = "255.255.0.0";
    p.txtHD = "4F2A";
    p.Check4 = kChecked;
    return p;
}

// The settings file that saves settingsSample().
inline const std::string kSampleSettingsFile =
    "corvinaltexum\r\n"
    "10.0.0.0\r\n"
    "255.255.0.0\r\n"
    "10.10.10.4\r\n"
    "9MfM3MhffRhR\r\n"
    "ESP-3DES-SHA\r\n"
    "vpn.example.com\r\n"
    "\xD5\xC5\xC8\xFD\r\n"
    "RRxRqR\r\n"
    "yes\r\n"
    "no\r\n"
    "no\r\n"
    "yes\r\n"
    "yes\r\n"
    "200.200.0.0\r\n"
    "255.255.0.0\r\n";

}  // namespace velmora::testing
