// What the policy tool velmora-ipsec does with its arguments: runs the netsh steps of one rule,
// one after the other, and answers with an exit status; and gives back the local policy that
// its own displaced.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/tool_runner.h"

namespace velmora {

// The exit status for arguments the tool cannot make sense of (Windows' ERROR_INVALID_PARAMETER).
inline constexpr int kBadPolicyArguments = 87;
// The exit status of an apply that could not record the policy it would displace, and so
// assigned nothing (Windows' ERROR_CANTWRITE).
inline constexpr int kPolicyNotRecorded = 1013;
// The exit status when another run held the tool's mutex for longer than it waits (WAIT_TIMEOUT).
inline constexpr int kPolicyToolBusy = 258;

// Runs the netsh steps for the arguments after the program name. An apply (-x) stops at the
// first required step that fails, so that a rule that could not be stored is never assigned; a
// withdrawal (-y) runs every step whatever the one before answered, so that it also works after
// an apply that never ran or stopped half-way, and leaves no rule (and no key) behind. An apply
// that succeeded closes its rule's key in the store to the computer's other users (closeRule). Returns 0 when every required step succeeded,
// otherwise the status of the first that failed, or kBadPolicyArguments (running nothing, or for
// a withdrawal whose rule could not be read, only the unassignment).
//
// Only one local policy can be assigned: assigning this one unassigns another. An apply first
// records what is assigned (kPolicyAssignedBefore: another policy's name, or empty for none),
// unless this policy is assigned already, and runs nothing when the record cannot be written
// (kPolicyNotRecorded). A withdrawal that finds this policy assigned assigns the recorded one
// again once this one is unassigned; it clears the record either way. Giving back does not
// change the withdrawal's status.
int runPolicyTool(const std::vector<std::string>& arguments, ToolRunner& tools, Registry& registry);

}  // namespace velmora
