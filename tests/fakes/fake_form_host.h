// The window's host services in memory: records what the behaviour asked of the real window.
#pragma once

#include <string>
#include <vector>

#include "ui/form_host.h"

namespace velmora::testing {

class FakeFormHost : public FormHost {
public:
    bool anotherInstanceRunning() override { return otherInstance; }
    void trayIconAdd() override { calls.push_back("trayIconAdd"); }
    void trayIconShow(TrayImage image, const std::string& tip) override {
        calls.push_back("trayIconShow " + std::to_string(static_cast<int>(image)) + " " + tip);
    }
    void trayIconRemove() override { calls.push_back("trayIconRemove"); }
    void trayBalloon(const std::string& text, bool warning) override {
        calls.push_back((warning ? "warning " : "balloon ") + text);
    }
    void showWindow(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
    void centreOnScreen() override { calls.push_back("centre"); }
    void sendRestore() override { calls.push_back("restore"); }
    void focus() override { calls.push_back("focus"); }
    void bringToFront() override { calls.push_back("front"); }
    void holdEndOfSession(bool hold) override { holds.push_back(hold); }
    void unload() override { calls.push_back("unload"); }
    void endProgram() override { calls.push_back("endProgram"); }

    bool otherInstance = false;
    std::vector<std::string> calls;  // in order
    std::vector<bool> holds;         // each holdEndOfSession, in order, apart from the calls

    bool holding() const { return !holds.empty() && holds.back(); }
};

}  // namespace velmora::testing
