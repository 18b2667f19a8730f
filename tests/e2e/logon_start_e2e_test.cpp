// velmora.exe under Wine, 登录时启动 from the tray: with Wine reporting Windows 10 the user's logon
// task (Wine's scheduler keeps of a definition only its settings, so the unit tests check the
// definition's text), with it reporting XP the user's Run value; chosen again, each is gone.
#include <gtest/gtest.h>

#include "core/system/general.h"
#include "core/system/logon_start.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_registry.h"
#include "tests/e2e/app_session.h"

namespace velmora {
namespace {

class StartWithWindows : public testing::AppSession {
protected:
    using AppSession::AppSession;

    // Chooses 登录时启动 (the sixth row while L2TP拨号 is hidden) twice: after the first the start
    // at logon is there, after the second it is gone, and no message box came.
    template <typename Made>
    void expectOnThenOff(Made made) {
        ASSERT_TRUE(testing::saveSettings(testing::dialProfile()));
        const testing::WindowDriver window = startShown();
        for (const bool on : {true, false}) {
            HWND menu = window.openTrayMenu();
            ASSERT_NE(menu, nullptr);
            window.chooseMenuRow(menu, 5);
            EXPECT_TRUE(testing::eventually([&] { return made() == on; }, testing::kTicks)) << on;
        }
        EXPECT_FALSE(window.waitForMessageBox(1000).has_value());
    }
};

class StartWithWindows10 : public StartWithWindows {
protected:
    StartWithWindows10() : StartWithWindows(testing::kWindows10) {}
};

class StartWithWindowsXp : public StartWithWindows {
protected:
    StartWithWindowsXp() : StartWithWindows(testing::kWindowsXp) {}
};

TEST_F(StartWithWindows10, aLogonTaskOfTheUserIsRegisteredAndRemoved) {
    Win32LogonTasks tasks;
    const std::string path = std::string(kLogonTaskFolder) + "\\" + tasks.userSid();
    expectOnThenOff([&] { return tasks.exists(path); });
}

TEST_F(StartWithWindowsXp, theUsersRunValueStartsTheProgramInTheTray) {
    const std::string command = "\"" + narrow(app.programFolder()) + "\\velmora.exe\" /minimized";
    expectOnThenOff([&] { return Win32Registry().readString(kHkeyCurrentUser, kRunKey, kRunValueName) == command; });
}

}  // namespace
}  // namespace velmora
