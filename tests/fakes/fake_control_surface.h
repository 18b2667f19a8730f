// The main window's controls in memory, starting with the design-time profile.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include "core/profile/control_surface.h"

namespace velmora::testing {

class FakeControlSurface : public ControlSurface {
public:
    // Whether comalg's list already holds the six suites, as after start-up, or is empty, as
    // in a window just created.
    enum class CipherList { filled, empty };

    explicit FakeControlSurface(CipherList cipherList = CipherList::filled);

    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    int value(Control control) const override;
    void setValue(Control control, int value) override;
    bool enabled(Control control) const override;
    void setEnabled(Control control, bool enabled) override;
    bool visible(Control control) const override;
    void setVisible(Control control, bool visible) override;
    std::vector<std::string> listItems(Control control) const override;
    void addListItem(Control control, const std::string& item) override;
    void showMessage(const std::string& text, MessageSign sign) override;
    void setFocus(Control control) override { focus = control; }
    void fixByAdministrator(Control control) override { fixed.insert(control); }
    WindowState windowState() const override { return windowState_; }
    void setWindowState(WindowState state) override { windowState_ = state; }
    int height() const override { return height_; }
    void setHeight(int twips) override { height_ = twips; }

    // Every message shown, in order.
    std::vector<std::string> messages;
    std::vector<MessageSign> messageSigns;  // of each message, in the same order
    std::set<Control> fixed;  // the fields fixed by the administrator
    // Runs while a message box is open, as the events its modal loop dispatches would.
    std::function<void(const std::string&)> duringMessage;
    // The control last given the focus by the logic.
    std::optional<Control> focus;

private:
    struct State {
        std::string text;
        int value = 0;
        bool enabled = true;
        bool visible = true;
        std::vector<std::string> items;
    };
    State& state(Control control) { return controls_[control]; }
    const State& state(Control control) const;

    std::map<Control, State> controls_;
    WindowState windowState_ = WindowState::normal;
    int height_ = 0;
};

}  // namespace velmora::testing
