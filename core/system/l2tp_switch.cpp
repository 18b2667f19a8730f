#include "core/system/l2tp_switch.h"

#include "core/system/general.h"

#include <optional>
#include <string>

namespace velmora {

StartUp modifyL2tpReg(Registry& registry, ControlSurface& window, ConnectionLog& log) {
    General general(registry, window);
    if (general.regGetValue(kRasManParameters, kProhibitIpsec).text() == "1") {
        return StartUp::carryOn;
    }
    // Telling a user without the rights to write the switch to restart would send them round
    // the same loop at every start.
    bool written = general.regSetDword(kRasManParameters, kProhibitIpsec, 1);
    // A system without the key (damaged, or stripped of the service's settings) gets it: the
    // program has the rights, so blaming them would be wrong.
    if (!written && general.regCreateKey(kRasManParameters)) {
        written = general.regSetDword(kRasManParameters, kProhibitIpsec, 1);
    }
    log.registrySwitchSet(written);
    window.showMessage(written ? kRestartMessage : kWriteFailedMessage);
    return StartUp::endProgram;
}

namespace {

// A decimal count; nothing for any other text, or one too long for 64 bits.
std::optional<std::uint64_t> decimal(const std::string& text) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

void remindOfPendingRestart(Registry& registry, Clock& clock, ControlSurface& window, ConnectionLog& log) {
    // The tick count is the time since Windows started; it wraps after 49.7 days, when a switch
    // set before then counts as followed by a restart.
    constexpr std::uint64_t kIntervalsPerMillisecond = 10000;
    const std::uint64_t now = clock.systemTime();
    const std::uint64_t sinceStart = static_cast<std::uint64_t>(clock.milliseconds()) * kIntervalsPerMillisecond;
    const std::uint64_t windowsStarted = now > sinceStart ? now - sinceStart : 0;
    for (const char* record : kSetupSwitchRecords) {
        const auto setAt = registry.readString(kHkeyLocalMachine, record, kSwitchSetAt);
        const auto when = setAt ? decimal(*setAt) : std::nullopt;
        if (when && *when > windowsStarted) {
            log.restartPending();
            window.showMessage(kRestartPendingMessage);
            return;
        }
    }
}

}  // namespace velmora
