// The window's controls as the logic reaches them at run time: every call passes on to the
// window, and the message boxes are counted, so that a command can tell whether it told the
// user something (the auto-dial holds off after an attempt of its own did). A control about to
// take the focus is first shown, by whatever shows it.
#pragma once

#include <functional>
#include <string>
#include <utility>
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
    void fixByAdministrator(Control control) override { window_.fixByAdministrator(control); }
    void showMessage(const std::string& text, MessageSign sign) override {
        ++messagesShown_;
        lastMessage_ = text;
        if (!divert_ || !divert_(text, sign)) {
            window_.showMessage(text, sign);
        }
    }
    void setFocus(Control control) override {
        if (reveal_) {
            reveal_(control);
        }
        window_.setFocus(control);
    }
    WindowState windowState() const override { return window_.windowState(); }
    void setWindowState(WindowState state) override { window_.setWindowState(state); }
    int height() const override { return window_.height(); }
    void setHeight(int twips) override { window_.setHeight(twips); }

    // How many message boxes have been opened through this surface so far, and the text of the
    // last one.
    int messagesShown() const { return messagesShown_; }
    const std::string& lastMessage() const { return lastMessage_; }

    // Runs before a control takes the focus, so that a control in a hidden frame can be shown.
    void onReveal(std::function<void(Control)> reveal) { reveal_ = std::move(reveal); }
    // Asked before each message box: true takes the message elsewhere, and no box opens.
    void onMessage(std::function<bool(const std::string&, MessageSign)> divert) { divert_ = std::move(divert); }

private:
    ControlSurface& window_;
    int messagesShown_ = 0;
    std::string lastMessage_;
    std::function<void(Control)> reveal_;
    std::function<bool(const std::string&, MessageSign)> divert_;
};

}  // namespace velmora
