// The window's logic and its session run against a simulated computer: one tape of choices drives
// every event the program can receive (clicks, the tray menu, ticks, script commands, resume,
// address changes, the close box, 退出, the end of Windows' session, boxes answered at any moment)
// and every outcome of the outside world (dials, policy runs, links that drop), delivered where the
// real window would deliver them, inside every wait included. After every event the named
// invariants are checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/simulation/choice_tape.h"

namespace velmora::simulation {

// What must always hold.
enum class Invariant {
    oneDialAtATime,           // never two dials at once
    noDialAfterStop,          // no dial after Stop or 退出 unless a new Connect came
    cleanAfterEnd,            // the program's end leaves no policy, route or link of ours
    policyForTheLinksAddress, // an apply over a link is for that link's own address
    statusTellsTheTruth,      // the status never says 已连接 for more than a tick of a link that is down
    failuresTold,             // a link lost by nobody's wish is told
    scriptCodesTrue,          // a script command's exit code says what happened
    commandsEnd,              // every command ends within its bounds
    noBoxForNobody,           // no box opens for a script command, which has nobody to answer it
    stopReachable,            // no dial starts while a box takes every click
    goodLinkKept,             // no link whose tunnel works is hung up unless the user asked
};

const char* invariantName(Invariant invariant);

struct Violation {
    Invariant invariant;
    std::string detail;
};

struct RunResult {
    std::optional<Violation> violation;
    // Every event delivered and every outcome of the world, indented by how deep in waits it ran.
    std::vector<std::string> steps;
    long events = 0;  // events delivered, at any depth
    long checks = 0;  // invariant checks made
};

// Runs one session of at most topEvents events at the top (each with what runs inside its waits),
// drawing every decision from the tape; a replayed tape that runs out ends the run there.
RunResult runSession(ChoiceTape& tape, int topEvents);

// The shortest and plainest choices found that still break the same invariant.
std::vector<std::uint32_t> shrink(std::vector<std::uint32_t> choices, Invariant invariant, int topEvents);

}  // namespace velmora::simulation
