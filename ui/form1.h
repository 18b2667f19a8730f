// The main window's behaviour: start-up, activation, minimise-to-tray, shut-down, the option
// toggles and the tray menu, over the window's controls and the platform's services. The real
// window (ui/win32) reports its events here; the tests drive it in memory.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/connection/dialer.h"
#include "core/connection/link_query.h"
#include "core/connection/session_controller.h"
#include "core/ipsec/ipsec_policy.h"
#include "core/log/connection_log.h"
#include "core/profile/control_surface.h"
#include "core/profile/watched_surface.h"
#include "core/service/operations.h"
#include "core/settings/settings_file.h"
#include "core/system/logon_start.h"
#include "core/system/under_way.h"
#include "platform/ansi_codec.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/file_operations.h"
#include "platform/ip_helper.h"
#include "platform/log_file.h"
#include "platform/management_service.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/remote_access.h"
#include "platform/shell_folders.h"
#include "platform/text_files.h"
#include "platform/windows_version.h"
#include "ui/form_events.h"
#include "ui/form_host.h"
#include "ui/link_balloons.h"
#include "ui/tray_state.h"

namespace velmora {

// The operating system as the window's behaviour reaches it.
struct Platform {
    RemoteAccess& remoteAccess;
    Processes& processes;
    ShellFolders& shell;
    TextFiles& files;
    const AnsiCodec& codec;
    EventLoop& loop;
    Registry& registry;
    IpHelper& ipHelper;
    ManagementService& management;
    WindowsVersion& version;
    FileOperations& programFiles;
    // The connection log's file, and the clock of its lines.
    LogFile& log;
    Clock& clock;
    // What needs an administrator: the service's, or this program's own where it has the rights.
    Operations& operations;
};

// Every event that can wait (a policy pause, a message box) lets other events run inside it:
// clicks and menu items still act there, the timers' ticks do not (a tick that finds another
// event under way is dropped, so that no tick piles a dial or a message on another), and once
// the window is closing nothing but the shut-down acts.
class Form1 : public FormEvents {
public:
    Form1(ControlSurface& window, FormHost& host, const Platform& platform);

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Resize() override;
    void Form_QueryUnload(UnloadMode mode) override;
    void Form_Unload() override;
    void Form_EndSession() override;

    void Command1_Click() override;
    void Command2_Click() override;
    void Command3_Click() override;

    void Check1_Click() override;
    void Check2_Click() override;
    void Check3_Click() override;
    void Check4_Click() override;
    void checkHD_Click() override;

    void Timer1_Timer() override;
    void Timer2_Timer() override;
    // The link watch and the auto-dial run at once rather than at their next ticks; like a tick,
    // not while another event is under way.
    void systemResumed() override;
    void addressesChanged() override;

    // A tray menu item acts only when it is usable at the moment it is chosen: the menu was
    // drawn when it opened, and the session may have moved on since.
    void trayIcon_DblClick() override;
    void mnuTrayRestore_Click() override;
    void menuOn_Click() override;
    void menuOff_Click() override;
    void menuL2tp_Click() override;
    // Tells the server, the tunnel's address, since when the link is up, what it has carried and
    // whether the IPsec policy is in force, or that it is not connected; usable whatever the
    // session does, and nothing waits on it (the watch and the auto-dial go on under its box).
    void mnuTrayStatus_Click() override;
    // Opens the log in Notepad from the system folder, with the user's rights; usable whatever the
    // session does. Where Notepad cannot be started so, the user is told where the log is.
    void mnuTrayLog_Click() override;
    // The check mark of 登录时启动 says whether the start at logon is set, as the Run key holds
    // it when the menu opens.
    void trayMenu_Opening() override;
    // Turns the start at logon on or off, whichever it is not now; a failure is told and logged.
    void mnuTrayLogon_Click() override;
    void mnuTrayClose_Click() override { host_.unload(); }
    // Connect and Stop run as the tray's items would, when they are usable; a Connect that
    // finds a session under way runs nothing. Exit ends the program as 退出 does and returns once
    // the shut-down has withdrawn and hung up. The answer tells how the link is afterwards.
    int scriptCommand(ScriptVerb verb) override;

    // The window state a double-click on the tray icon returns to: normal or maximised.
    WindowState lastState = WindowState::normal;

private:
    // Records who asked for the event under way for as long as it runs: a message for a script's
    // own command goes to the log, since nobody may be there to answer a box.
    class Asking {
    public:
        Asking(std::vector<Origin>& askers, Origin origin) : askers_(askers) { askers_.push_back(origin); }
        ~Asking() { askers_.pop_back(); }
        Asking(const Asking&) = delete;
        Asking& operator=(const Asking&) = delete;

    private:
        std::vector<Origin>& askers_;
    };

    std::string entryName() const;
    // A box of the tray's own items, counted as open while it waits.
    void tell(const std::string& text, MessageSign sign);
    // True while a message box waits for its answer: every click on the tray icon goes to it.
    bool boxOpen() const { return boxesOpen_ > 0; }
    // Runs a command of the session for whoever asked, unless the window is closing.
    void sessionCommand(void (SessionController::*command)(Origin), Origin origin);
    void hangUpStep();
    void linkMayHaveChanged();
    // The end of Form_Unload, by whichever shut-down finishes first: the tray icon goes and the
    // log's last line, why the program ends, is written.
    void finishUnload();
    // Brings a control into view before it takes the focus.
    void reveal(Control control);
    // Each frame that holds a field policy fixed says so in its caption.
    void noteFixedSettings();
    // Shows the link's status in the window's status line and on the tray icon (when it is there
    // and the status changed), and a balloon for a change nobody asked for.
    void showLinkStatus();
    // Has Windows wait at the end of its session for as long as there is something of ours to
    // take back: a policy that may be in force, a link up, a dial or a policy pair under way.
    void holdEndOfSession();
    // How long the link has been up, as the service's statistics of it count, else since the
    // program first saw it up; nothing while it is down.
    std::optional<std::uint32_t> upSeconds(const ConnectionStatistics& statistics);
    bool usable(Control item) const;
    // True when a tick may run now: no other event under way, the window not closing.
    bool tickMayRun() const { return busy_ == 0 && !closing_; }
    // The exit code of /status as the link is now.
    int linkStatusCode();

    // The boxes of the tray's own items (连接状态, and what 查看日志 and 登录时启动 could not do) go
    // straight to the window: the auto-dial holds off only after a message of its own, which the
    // watched surface counts, and these can open inside an automatic redial's wait.
    ControlSurface& uncountedWindow_;
    WatchedSurface window_;
    FormHost& host_;
    Platform platform_;
    ConnectionLog log_;
    LinkQuery link_;
    SettingsFile settings_;
    Dialer dialer_;
    IpsecPolicy policy_;
    SessionController session_;
    LogonStart logonStart_;
    int busy_ = 0;
    int boxesOpen_ = 0;
    std::vector<Origin> askers_;
    // A resume or an address change came while another event was under way: the next tick of the
    // link watch looks as they would have (as it does after a look that must be confirmed).
    bool lookAgain_ = false;
    int asked_ = 0;  // the user's (or a script's) own commands under way: they answer for themselves
    bool closing_ = false;
    bool unloaded_ = false;
    std::optional<EndReason> endReason_;  // why the window is closing, for the log's last line
    bool exitByScript_ = false;  // the program ends for a command line's /exit
    bool trayIconShown_ = false;
    bool profileRead_ = false;  // the settings are read: the fields name the protocol in use
    bool holdingEndOfSession_ = false;  // as the host was last told
    TrayState trayShows_;
    LinkBalloons balloons_;
    std::optional<std::uint32_t> upSinceMs_;  // the clock's count when the link was first seen up
};

}  // namespace velmora
