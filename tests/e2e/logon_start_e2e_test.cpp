// velmora.exe under Wine, 登录时启动 from the tray: with Wine reporting Windows 10 a logon task of
// the Task Scheduler, with it reporting XP the user's Run value; chosen again, each is gone.
#include <windows.h>
#include <taskschd.h>

#include <gtest/gtest.h>

#include <string>

#include "core/system/general.h"
#include "core/system/logon_start.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/win32_logon_tasks.h"
#include "platform/win32/win32_registry.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/window_driver.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::eventually;
using testing::kTicks;

constexpr int kLogonRow = 4;  // 还原, 连接, 停止, 查看日志, 登录时启动 while L2TP拨号 is hidden

// The task's definition as the scheduler holds it; empty when there is no such task.
std::string storedTask(const std::string& path) {
    std::string xml;
    ITaskService* service = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                reinterpret_cast<void**>(&service)))) {
        return xml;
    }
    const VARIANT none{};
    ITaskFolder* root = nullptr;
    IRegisteredTask* task = nullptr;
    BSTR rootPath = SysAllocString(L"\\");
    BSTR name = SysAllocString(widen(path).c_str());
    BSTR text = nullptr;
    if (SUCCEEDED(service->Connect(none, none, none, none)) && SUCCEEDED(service->GetFolder(rootPath, &root)) &&
        SUCCEEDED(root->GetTask(name, &task)) && SUCCEEDED(task->get_Xml(&text))) {
        xml = narrow(std::wstring(text, SysStringLen(text)));
    }
    SysFreeString(text);
    SysFreeString(name);
    SysFreeString(rootPath);
    if (task != nullptr) {
        task->Release();
    }
    if (root != nullptr) {
        root->Release();
    }
    service->Release();
    return xml;
}

class StartWithWindows : public testing::AppSession {
protected:
    explicit StartWithWindows(const testing::WindowsRelease& windows) : AppSession(windows) {
        (void)CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    ~StartWithWindows() override { CoUninitialize(); }

    void chooseLogonItem(const WindowDriver& window) {
        HWND menu = window.openTrayMenu();
        ASSERT_NE(menu, nullptr);
        window.chooseMenuRow(menu, kLogonRow);
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
    const std::string sid = Win32LogonTasks().userSid();
    ASSERT_EQ(sid.rfind("S-1-5-", 0), 0u) << sid;
    const std::string path = std::string(kLogonTaskFolder) + "\\" + sid;
    ASSERT_TRUE(testing::saveSettings(testing::dialProfile()));
    WindowDriver window = startShown();
    chooseLogonItem(window);
    ASSERT_TRUE(eventually([&] { return !storedTask(path).empty(); }, kTicks));
    // Wine's scheduler keeps of a definition only its settings, not its trigger, principal or
    // action (the definition's text is checked whole in the unit tests): these differ from its
    // defaults, so they came from the program's definition.
    const std::string xml = storedTask(path);
    for (const char* part : {"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                             "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>",
                             "<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>"}) {
        EXPECT_NE(xml.find(part), std::string::npos) << part << " in\n" << xml;
    }
    EXPECT_FALSE(window.waitForMessageBox(1000).has_value());

    chooseLogonItem(window);
    EXPECT_TRUE(eventually([&] { return storedTask(path).empty(); }, kTicks));
    EXPECT_FALSE(window.waitForMessageBox(1000).has_value());
}

TEST_F(StartWithWindowsXp, theUsersRunValueStartsTheProgramInTheTray) {
    Win32Registry registry;
    ASSERT_TRUE(testing::saveSettings(testing::dialProfile()));
    WindowDriver window = startShown();
    chooseLogonItem(window);
    const auto value = [&] { return registry.readString(kHkeyCurrentUser, kRunKey, kRunValueName); };
    ASSERT_TRUE(eventually([&] { return value().has_value(); }, kTicks));
    EXPECT_EQ(value(), "\"" + narrow(app.programFolder()) + "\\velmora.exe\" /minimized");

    chooseLogonItem(window);
    EXPECT_TRUE(eventually([&] { return !value().has_value(); }, kTicks));
    EXPECT_FALSE(window.waitForMessageBox(1000).has_value());
}

}  // namespace
}  // namespace velmora
