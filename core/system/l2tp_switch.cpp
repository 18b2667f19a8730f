#include "core/system/l2tp_switch.h"

#include "core/system/general.h"

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

}  // namespace velmora
