#include "core/system/script_command.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ScriptArguments, eachOptionInEitherFormAndAnyCase) {
    struct Row {
        std::vector<std::string> arguments;
        ScriptVerb verb;
        std::string unknown;
    };
    const Row rows[] = {
        {{}, ScriptVerb::none, ""},
        {{"/connect"}, ScriptVerb::connect, ""},
        {{"-CONNECT"}, ScriptVerb::connect, ""},
        {{"/Disconnect"}, ScriptVerb::disconnect, ""},
        {{"-status"}, ScriptVerb::status, ""},
        {{"/EXIT"}, ScriptVerb::exit, ""},
        {{"-Minimized"}, ScriptVerb::minimized, ""},
        {{"connect"}, ScriptVerb::unknown, "connect"},
        {{"/"}, ScriptVerb::unknown, "/"},
        {{"--connect"}, ScriptVerb::unknown, "--connect"},
        {{"/connect:now"}, ScriptVerb::unknown, "/connect:now"},
        {{"/minimised"}, ScriptVerb::unknown, "/minimised"},
        {{""}, ScriptVerb::unknown, ""},
        {{"/connect", "/exit"}, ScriptVerb::unknown, "/exit"},
        {{"/bogus", "/exit"}, ScriptVerb::unknown, "/bogus"},
    };
    for (const Row& row : rows) {
        const ScriptRequest request = parseScriptArguments(row.arguments);
        const std::string line = row.arguments.empty() ? "(none)" : row.arguments[0];
        EXPECT_EQ(request.verb, row.verb) << line;
        EXPECT_EQ(request.unknownArgument, row.unknown) << line;
    }
}

TEST(ScriptArguments, theUsageNamesTheArgumentAndEveryOption) {
    const std::string usage = scriptUsage("/bogus");
    for (const char* part : {"/bogus", "/connect", "/disconnect", "/status", "/exit", "/minimized"}) {
        EXPECT_NE(usage.find(part), std::string::npos) << part;
    }
}

}  // namespace
}  // namespace velmora
