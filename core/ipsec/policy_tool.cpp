#include "core/ipsec/policy_tool.h"

#include "core/ipsec/netsh_policy.h"
#include "core/ipsec/policy_store.h"
#include "core/system/general.h"

namespace velmora {

namespace {

void rememberPolicyAssignedBefore(const std::string& ours, Registry& registry) {
    const auto assigned = assignedLocalPolicy(registry);
    if (assigned && *assigned != ours) {
        (void)registry.writeString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore, *assigned);
    }
}

void assignPolicyAssignedBefore(ToolRunner& tools, Registry& registry) {
    const auto before = registry.readString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore);
    if (!before) {
        return;
    }
    if (!before->empty()) {
        (void)tools.runHidden(reassignStep(*before).commandLine);
    }
    (void)registry.deleteValue(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore);
}

}  // namespace

int runPolicyTool(const std::vector<std::string>& arguments, ToolRunner& tools, Registry& registry) {
    const auto request = parsePolicyArguments(arguments);
    if (!request) {
        return kBadPolicyArguments;
    }
    if (request->assign) {
        rememberPolicyAssignedBefore(request->policy, registry);
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
    if (!request->assign) {
        assignPolicyAssignedBefore(tools, registry);
    }
    return request->rule ? status : kBadPolicyArguments;
}

}  // namespace velmora
