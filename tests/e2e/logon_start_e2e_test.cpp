// velmora.exe under Wine, 登录时启动 from the tray: the user's Run value, which chosen again is
// gone; with Wine reporting Windows 10, the task an earlier version made becomes that value at the
// first start.
#include <gtest/gtest.h>

#include "core/system/general.h"
#include "core/system/logon_start.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_registry.h"
#include "tests/data/earlier_logon_task.h"
#include "tests/e2e/app_session.h"

namespace velmora {
namespace {

class StartWithWindows : public testing::AppSession {
protected:
    using AppSession::AppSession;

    // The Run value of the program under test.
    bool runValueSet() const {
        const std::string command = "\"" + narrow(app.programFolder()) + "\\velmora.exe\" /minimized";
        return Win32Registry().readString(kHkeyCurrentUser, kRunKey, kRunValueName) == command;
    }

    // Chooses 登录时启动 (the sixth row while 重新连接 is hidden) twice: after the first the start
    // at logon is there, after the second it is gone, and no message box came; the other way round
    // when it was set at the start.
    template <typename Made>
    void expectToggled(Made made, bool firstOn = true) {
        ASSERT_TRUE(testing::saveSettings(testing::dialProfile()));
        const testing::WindowDriver window = startShown();
        for (const bool on : {firstOn, !firstOn}) {
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

TEST_F(StartWithWindows10, anEarlierVersionsLogonTaskBecomesTheRunValueAtTheFirstStart) {
    Win32LogonTasks tasks;
    const std::string path = std::string(kLogonTaskFolder) + "\\" + tasks.userSid();
    ASSERT_TRUE(tasks.create(path, testing::earlierLogonTaskDefinition(
                                       tasks.userSid(), narrow(app.programFolder()) + "\\velmora.exe")));
    ASSERT_FALSE(runValueSet());
    // A user who has not started this version yet (another scenario's start noted it).
    (void)Win32Registry().deleteValue(kHkeyCurrentUser, kUserKey, kEarlierTaskMoved);
    // The start moved it: the menu shows it set, and turning it off and on again is the Run value's.
    expectToggled([&] { return runValueSet(); }, false);
    EXPECT_FALSE(tasks.exists(path));
}

TEST_F(StartWithWindowsXp, theUsersRunValueStartsTheProgramInTheTray) {
    expectToggled([&] { return runValueSet(); });
}

}  // namespace
}  // namespace velmora
