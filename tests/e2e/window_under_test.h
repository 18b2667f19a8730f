// The real main window on a thread of its own, with a FormEvents that records what the window
// reports in place of the window's behaviour, so that a test drives it as user and as logic.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/window_driver.h"
#include "ui/form_events.h"
#include "ui/win32/main_window.h"

namespace velmora::testing {

class RecordingEvents : public FormEvents {
public:
    // Run on the window's thread when the named event comes; set them before the window runs.
    std::map<std::string, std::function<void()>> reactions;

    std::vector<std::string> calls() const;
    int count(const std::string& event) const;
    void clear();

    void Form_Load() override { record("Form_Load"); }
    void Form_Activate() override { record("Form_Activate"); }
    void Form_Resize() override { record("Form_Resize"); }
    // "Form_QueryUnload 0" for a window closed, 1 by the program, 2 at the end of the session.
    void Form_QueryUnload(UnloadMode mode) override {
        record("Form_QueryUnload " + std::to_string(static_cast<int>(mode)));
    }
    void Form_Unload() override { record("Form_Unload"); }
    void Form_EndSession() override { record("Form_EndSession"); }
    void Command1_Click() override { record("Command1_Click"); }
    void Command2_Click() override { record("Command2_Click"); }
    void Command3_Click() override { record("Command3_Click"); }
    void Check1_Click() override { record("Check1_Click"); }
    void Check2_Click() override { record("Check2_Click"); }
    void Check3_Click() override { record("Check3_Click"); }
    void Check4_Click() override { record("Check4_Click"); }
    void checkHD_Click() override { record("checkHD_Click"); }
    void Timer1_Timer() override { record("Timer1_Timer"); }
    void Timer2_Timer() override { record("Timer2_Timer"); }
    void systemResumed() override { record("systemResumed"); }
    void addressesChanged() override { record("addressesChanged"); }
    void trayIcon_DblClick() override { record("trayIcon_DblClick"); }
    // Not recorded: it comes with every opening of the menu.
    void trayMenu_Opening() override {}
    void mnuTrayRestore_Click() override { record("mnuTrayRestore_Click"); }
    void menuOn_Click() override { record("menuOn_Click"); }
    void menuOff_Click() override { record("menuOff_Click"); }
    void menuL2tp_Click() override { record("menuL2tp_Click"); }
    void mnuTrayStatus_Click() override { record("mnuTrayStatus_Click"); }
    void mnuTrayLog_Click() override { record("mnuTrayLog_Click"); }
    void mnuTrayLogon_Click() override { record("mnuTrayLogon_Click"); }
    void mnuTrayClose_Click() override { record("mnuTrayClose_Click"); }
    // "scriptCommand 1" for connect, in the order of ScriptVerb; answers done.
    int scriptCommand(ScriptVerb verb) override {
        record("scriptCommand " + std::to_string(static_cast<int>(verb)));
        return script_exit::done;
    }

private:
    void record(const std::string& event);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// One call of the shell's icon function: the message and the record as it was passed.
struct TrayCall {
    DWORD message;
    TrayIconRecord record;
};

class WindowUnderTest {
public:
    using Prepare = std::function<void(MainWindow&, RecordingEvents&)>;

    // Creates the window on its thread, runs prepare there, then starts the program's life
    // (MainWindow::run) and returns once the window is shown or a message box holds the thread.
    explicit WindowUnderTest(const Prepare& prepare = {});
    ~WindowUnderTest() { finish(); }

    // Closes the window if the program still runs, lets the window go and waits for its thread.
    void finish();

    MainWindow& window() { return *window_; }
    RecordingEvents& events() { return events_; }
    const WindowDriver& driver() const { return *driver_; }

    // Runs the action on the window's thread and returns when it has run.
    void onWindowThread(const std::function<void()>& action);
    // Queues the action behind everything already posted to the window's thread.
    void onWindowThreadLater(std::function<void()> action);
    // Returns once the window's thread has handled every message posted to it so far (or the
    // program has ended).
    void settle();

    DWORD threadId() const { return threadId_; }
    bool ended() const { return ended_.load(); }
    std::vector<TrayCall> trayCalls() const;

private:
    void body(const Prepare& prepare, std::promise<void>& ready);

    RecordingEvents events_;
    MainWindow* window_ = nullptr;
    std::unique_ptr<WindowDriver> driver_;
    HWND runner_ = nullptr;
    DWORD threadId_ = 0;
    std::atomic<bool> ended_{false};
    std::promise<void> release_;
    bool finished_ = false;
    mutable std::mutex trayMutex_;
    std::vector<TrayCall> trayCalls_;
    std::thread thread_;
};

}  // namespace velmora::testing
