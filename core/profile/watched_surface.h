// The window's controls as the logic reaches them at run time: every call passes on to the
// window, and the message boxes are counted, so that a command can tell whether it told the
// user something (the auto-dial holds off after an attempt of its own did).
#pragma once

#include <string>
#include <vector>

#include "core/profile/control_surface.h"

namespace velmora {

class WatchedSurface : public ControlSurface {
public:
    explicit WatchedSurface(ControlSurface& window) : window_(window) {}

    std::string text(Control control) const override { return window_.text(control); }
    void setText(Control control, const std::string& text) override { window_.setText(control, text); }
    int value(Control control) const override { return window_.value(control); }
    void setValue(Control control, int value) override { window_.setValue(control, value); }
    bool enabled(Control control) const override { return window_.enabled(control); }
    void setEnabled(Control control, bool enabled) override { window_.setEnabled(control, enabled); }
    bool visible(Control control) const override { return window_.visible(control); }
    void setVisible(Control control, bool visible) override { window_.setVisible(control, visible); }
    std::vector<std::string> listItems(Control control) const override { return window_.listItems(control); }
    void addListItem(Control control, const std::string& item) override { window_.addListItem(control, item); }
    void showMessage(const std::string& text) override {
        ++messagesShown_;
        window_.showMessage(text);
    }
    WindowState windowState() const override { return window_.windowState(); }
    void setWindowState(WindowState state) override { window_.setWindowState(state); }
    int height() const override { return window_.height(); }
    void setHeight(int twips) override { window_.setHeight(twips); }

    // How many message boxes have been opened through this surface so far.
    int messagesShown() const { return messagesShown_; }

private:
    ControlSurface& window_;
    int messagesShown_ = 0;
};

}  // namespace velmora
