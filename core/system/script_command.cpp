#include "core/system/script_command.h"

#include <cctype>

namespace velmora {

namespace {

std::string lowered(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

ScriptVerb verbOf(const std::string& argument) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) {
        return ScriptVerb::unknown;
    }
    const std::string name = lowered(argument.substr(1));
    if (name == "connect") {
        return ScriptVerb::connect;
    }
    if (name == "disconnect") {
        return ScriptVerb::disconnect;
    }
    if (name == "status") {
        return ScriptVerb::status;
    }
    if (name == "exit") {
        return ScriptVerb::exit;
    }
    if (name == "minimized") {
        return ScriptVerb::minimized;
    }
    return ScriptVerb::unknown;
}

}  // namespace

ScriptRequest parseScriptArguments(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return {};
    }
    const ScriptVerb verb = verbOf(arguments[0]);
    if (verb == ScriptVerb::unknown) {
        return {verb, arguments[0]};
    }
    if (arguments.size() > 1) {
        return {ScriptVerb::unknown, arguments[1]};
    }
    return {verb, {}};
}

bool handedToRunningProgram(ScriptVerb verb) {
    return verb != ScriptVerb::unknown;
}

std::string scriptUsage(const std::string& unknownArgument) {
    return "无法识别的参数：" + unknownArgument +
           "\n\n可用的参数：\n"
           "/connect\t连接（未运行时在托盘中启动并连接）\n"
           "/disconnect\t停止\n"
           "/status\t以退出代码报告连接状态\n"
           "/exit\t退出程序\n"
           "/minimized\t在托盘中启动";
}

}  // namespace velmora
