#include "core/ipsec/policy_tool.h"

#include "core/ipsec/netsh_policy.h"

namespace velmora {

int runPolicyTool(const std::vector<std::string>& arguments, ToolRunner& tools) {
    const auto request = parsePolicyArguments(arguments);
    if (!request) {
        return kBadPolicyArguments;
    }
    int status = 0;
    for (const NetshStep& step : netshSteps(*request)) {
        const int answer = tools.runHidden(step.commandLine);
        if (answer == 0 || !step.required) {
            continue;
        }
        if (status == 0) {
            status = answer;
        }
        if (request->assign) {
            break;
        }
    }
    return request->rule ? status : kBadPolicyArguments;
}

}  // namespace velmora
