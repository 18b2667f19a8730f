#include "core/service/local_operations.h"

#include "core/connection/dial_commands.h"
#include "core/connection/phonebook.h"
#include "core/ipsec/policy_commands.h"
#include "core/ipsec/windows_version.h"
#include "core/system/l2tp_switch.h"
#include "core/system/tool_paths.h"

namespace velmora {

SwitchChange LocalOperations::setL2tpSwitch() {
    return writeL2tpSwitch(registry_);
}

void LocalOperations::nameIpsecLibrary() {
    velmora::nameIpsecLibrary(version_.version(), folder_);
}

std::string LocalOperations::ipsecTool() {
    return chooseIpsecTool(windowsVersionText(version_.version()));
}

Started LocalOperations::startPolicyRun(const PolicyRun& run) {
    ConnProfile values;
    values.txtlocal = run.local;
    values.txtpeer = run.peer;
    values.txtpeermask = run.peerMask;
    values.txtpreshare = run.presharedKey;
    values.comalg = run.suite;
    const std::string tool = ipsecTool();
    const PolicyLines lines = policyLines(values, tool, run.apply ? kPolicyOn : kPolicyOff);
    const std::string program = policyToolProgram(tool, folder_, shell_);
    Started started;
    started.program =
        processes_.start(program, run.rule == PolicyRule::outbound ? lines.outbound : lines.inbound,
                         Processes::Window::hidden);
    if (!started.program) {
        started.failure = "无法启动策略工具 " + program + "。";
    }
    return started;
}

std::string LocalOperations::phonebookPath(DialPhonebook phonebook) {
    const std::string folder = folder_.programFolder();
    return (folder.empty() || folder.back() == '\\' ? folder : folder + "\\") + phonebookFileName(phonebook);
}

DialStarted LocalOperations::startDial(const DialRequest& dial) {
    DialStarted started;
    started.phonebook = phonebookPath(dial.phonebook);
    // rasdial reads the phonebook with these rights and loads what its entry names: it reads the
    // operations' own, written just now.
    if (dial.phonebook != DialPhonebook::defaultGateway) {
        started.phonebookWritten = files_.writeLines(
            started.phonebook, phonebookLines(dial.phonebook == DialPhonebook::l2tp ? kProtocolL2tp : kProtocolPptp));
        if (!started.phonebookWritten) {
            return started;
        }
    }
    const std::string rasdial = systemTool(shell_, "rasdial");
    // No console window: the window's status line and the tray show the dial, and its output is
    // not read.
    started.program = processes_.start(rasdial, rasdialLine(dial, started.phonebook), Processes::Window::hidden);
    if (!started.program) {
        started.failure = "无法启动 " + rasdial + "。";
    }
    return started;
}

bool LocalOperations::addRoute(const Route& route) {
    (void)processes_.start(systemTool(shell_, "route"), routeLine(route), Processes::Window::hidden);
    return true;
}

void LocalOperations::deleteRoute(const Route& route) {
    (void)processes_.start(systemTool(shell_, "route"), routeDeleteLine(route), Processes::Window::hidden);
}

}  // namespace velmora
