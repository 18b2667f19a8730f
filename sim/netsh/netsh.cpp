// Stand-in for netsh: journals its command line, then carries out its `ipsec static` command on
// the simulated policy store (ipsec_store.h) and exits as netsh does, 0 or 1 with the error; a
// command the scenario fails (sim_state.h) fails as netsh's refusal would.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/command_line_arguments.h"
#include "sim/command_line_journal.h"
#include "sim/sim_state.h"

int main() {
    velmora::sim::journalCommandLine();
    const std::vector<std::string> args = velmora::commandLineArguments();
    std::string command;
    for (std::size_t i = 2; i < args.size(); ++i) {
        command += (i > 2 ? " " : "") + args[i];
    }
    const std::string fails = velmora::sim::loadNetshFailure();
    if (!fails.empty() && command.rfind(fails, 0) == 0) {
        std::fprintf(stderr, "The command failed.\n");
        return 1;
    }
    velmora::sim::IpsecStore store = velmora::sim::loadIpsecStore();
    const velmora::sim::NetshAnswer answer = velmora::sim::applyNetsh(store, args);
    if (answer.status != 0) {
        std::fprintf(stderr, "%s\n", answer.message.c_str());
        return answer.status;
    }
    velmora::sim::saveIpsecStore(store);
    std::printf("Ok.\n");
    return 0;
}
