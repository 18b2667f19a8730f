#include "core/service/local_operations.h"

#include "core/connection/dial_commands.h"
#include "core/connection/phonebook.h"
#include "core/ipsec/policy_commands.h"
#include "core/ipsec/policy_store.h"
#include "core/ipsec/windows_version.h"
#include "core/settings/settings_file.h"
#include "core/system/logon_start.h"
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
        processes_.start(program, run.rule == RuleDirection::outbound ? lines.outbound : lines.inbound,
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

std::optional<std::vector<std::string>> LocalOperations::oldSettings(char drive) {
    const TextFileContents contents = files_.readText(std::string(1, drive) + ":\\" + kSettingsFileName);
    if (contents.status != ReadStatus::ok) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < contents.text.size()) {
        const std::size_t end = contents.text.find('\n', start);
        std::string line = contents.text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end == std::string::npos ? contents.text.size() : end + 1;
    }
    return lines;
}

void LocalOperations::removeOldSettings(char drive) {
    for (const char* name : {kSettingsFileName, kL2tpPhonebook, kPptpPhonebook}) {
        (void)folder_.removeFile(std::string(1, drive) + ":\\" + name);
    }
}

bool LocalOperations::removeOldLogonTask() {
    return removeLogonTask(tasks_.userSid());
}

bool LocalOperations::removeLogonTask(const std::string& userSid) {
    const std::string path = std::string(kLogonTaskFolder) + "\\" + userSid;
    if (userSid.empty() || !tasks_.exists(path)) {
        return false;
    }
    (void)tasks_.remove(path);
    return true;
}

void LocalOperations::closePolicyRule(RuleDirection rule) {
    (void)closeRule(registry_, ruleName(rule));
}

void LocalOperations::deleteRoute(const Route& route) {
    (void)processes_.start(systemTool(shell_, "route"), routeDeleteLine(route), Processes::Window::hidden);
}

}  // namespace velmora
