#include "ui/first_focus.h"

#include "core/text/text.h"

namespace velmora {

Control firstFocus(const ControlSurface& window, const std::function<bool(Control)>& canType) {
    for (Control field : {Control::txtUserName, Control::txtPasswd, Control::txtServerAddress}) {
        const std::string text = trimBlanks(window.text(field));
        const bool unfilled = text.empty() || (field == Control::txtServerAddress && text == "0.0.0.0");
        if (unfilled && canType(field)) {
            return field;
        }
    }
    return Control::Command1;
}

}  // namespace velmora
