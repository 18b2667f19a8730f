#include "core/ipsec/policy_tool.h"

#include "core/ipsec/netsh_policy.h"
#include "core/ipsec/policy_store.h"
#include "core/system/general.h"

namespace velmora {

namespace {

// Keeps what is assigned before ours is, no other policy ("none") included. When ours is
// assigned already, the run before this one (the other rule's) kept what it displaced.
bool recordPolicyAssignedBefore(const std::string& ours, Registry& registry) {
    const auto assigned = assignedLocalPolicy(registry);
    if (assigned && *assigned == ours) {
        return true;
    }
    return registry.writeString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore, assigned.value_or(""));
}

// Gives the recorded policy back only when ours was the one that the withdrawal unassigned: one
// that an administrator assigned meanwhile stays, and so does their unassignment. The record
// goes either way.
void giveBackPolicyAssignedBefore(bool oursWasAssigned, ToolRunner& tools, Registry& registry) {
    const auto before = registry.readString(kHkeyLocalMachine, kVelmoraKey, kPolicyAssignedBefore);
    if (!before) {
        return;
    }
    if (oursWasAssigned && !before->empty()) {
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
    if (request->assign && !recordPolicyAssignedBefore(request->policy, registry)) {
        return kPolicyNotRecorded;
    }
    const bool oursWasAssigned = assignedLocalPolicy(registry) == request->policy;
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
        giveBackPolicyAssignedBefore(oursWasAssigned, tools, registry);
    } else if (status == 0) {
        // Every user may read the store; the rule holds the key. The policy works all the same
        // when the key cannot be closed.
        (void)closeRule(registry, request->rule->name);
    }
    return request->rule ? status : kBadPolicyArguments;
}

}  // namespace velmora
