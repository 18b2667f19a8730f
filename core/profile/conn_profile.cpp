#include "core/profile/conn_profile.h"

namespace velmora {

ConnProfile designTimeProfile() {
    ConnProfile p;
    p.txtConnName = kEntryName;
    p.txtpeer = "10.0.0.0";
    p.txtpeermask = "255.255.0.0";
    p.txtlocal = "10.10.10.4";
    // The tunnel server the program ships for; users type their own.
    p.txtServerAddress = "203.0.113.10";
    p.Option1 = kProtocolPptp;
    p.txtpeer2 = "200.200.0.0";
    p.txtpeermask2 = "255.255.0.0";
    return p;
}

ConnProfile fallbackProfile() {
    ConnProfile p = designTimeProfile();
    p.txtConnName = kEntryName;
    p.txtpeer = "0.0.0.0";
    p.txtpeermask = "255.255.255.0";
    p.txtlocal = "1.1.1.1";
    p.txtpreshare.clear();
    p.comalg = "ESP-DES-MD5";
    p.txtServerAddress = "0.0.0.0";
    p.txtUserName.clear();
    p.txtPasswd.clear();
    p.Check1 = kUnchecked;
    p.Check2 = kUnchecked;
    p.Check3 = kUnchecked;
    p.Option1 = kProtocolPptp;
    p.checkHD = kUnchecked;
    p.txtpeer2 = "0.0.0.0";
    p.txtpeermask2 = "255.255.255.0";
    return p;
}

ConnProfile readProfile(const ControlSurface& window) {
    ConnProfile p;
    p.txtConnName = window.text(Control::txtConnName);
    p.txtpeer = window.text(Control::txtpeer);
    p.txtpeermask = window.text(Control::txtpeermask);
    p.txtlocal = window.text(Control::txtlocal);
    p.txtpreshare = window.text(Control::txtpreshare);
    p.comalg = window.text(Control::comalg);
    p.txtServerAddress = window.text(Control::txtServerAddress);
    p.txtUserName = window.text(Control::txtUserName);
    p.txtPasswd = window.text(Control::txtPasswd);
    p.Check1 = window.value(Control::Check1);
    p.Check2 = window.value(Control::Check2);
    p.Check3 = window.value(Control::Check3);
    p.Option1 = window.value(Control::Option1);
    p.checkHD = window.value(Control::checkHD);
    p.txtpeer2 = window.text(Control::txtpeer2);
    p.txtpeermask2 = window.text(Control::txtpeermask2);
    p.txtHD = window.text(Control::txtHD);
    p.Check4 = window.value(Control::Check4);
    return p;
}

}  // namespace velmora
