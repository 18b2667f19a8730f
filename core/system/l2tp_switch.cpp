#include "core/system/l2tp_switch.h"

#include <optional>
#include <string>

#include "core/system/general.h"

namespace velmora {

namespace {

constexpr const char* kRasManSubkey = "System\\CurrentControlSet\\Services\\RasMan\\Parameters";

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

bool l2tpSwitchSet(Registry& registry) {
    const auto data = registry.readValueData(kHkeyLocalMachine, kRasManSubkey, kProhibitIpsec);
    if (!data || data->size() > kRegValueBytes) {
        return false;
    }
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < data->size(); ++i) {
        bits |= static_cast<std::uint32_t>((*data)[i]) << (8 * i);
    }
    return bits == 1;
}

SwitchChange writeL2tpSwitch(Registry& registry) {
    if (l2tpSwitchSet(registry)) {
        return SwitchChange::alreadySet;
    }
    bool written = registry.writeDword(kHkeyLocalMachine, kRasManSubkey, kProhibitIpsec, 1);
    // A system without the key (damaged, or stripped of the service's settings) gets it: whoever
    // writes it has the rights, so blaming them would be wrong.
    if (!written && registry.createKey(kHkeyLocalMachine, kRasManSubkey)) {
        written = registry.writeDword(kHkeyLocalMachine, kRasManSubkey, kProhibitIpsec, 1);
    }
    return written ? SwitchChange::setNow : SwitchChange::notWritten;
}

StartUp modifyL2tpReg(Registry& registry, Operations& operations, ControlSurface& window, ConnectionLog& log) {
    if (l2tpSwitchSet(registry)) {
        return StartUp::carryOn;
    }
    const SwitchChange change = operations.setL2tpSwitch();
    // Set meanwhile by someone else: nothing is pending on this program's account.
    if (change == SwitchChange::alreadySet) {
        return StartUp::carryOn;
    }
    // Telling a user whose switch could not be written to restart would send them round the same
    // loop at every start.
    const bool written = change == SwitchChange::setNow;
    log.registrySwitchSet(written);
    window.showMessage(written ? kRestartMessage : kWriteFailedMessage,
                       written ? MessageSign::information : MessageSign::error);
    return StartUp::endProgram;
}

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
            window.showMessage(kRestartPendingMessage, MessageSign::warning);
            return;
        }
    }
}

}  // namespace velmora
