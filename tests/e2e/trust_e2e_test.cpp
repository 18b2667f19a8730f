// velmora.exe under Wine, the scenarios of a session the user can trust: the IPsec policy in force
// for every link (or the user told why not), withdrawn as applied, another local policy given
// back, tools never taken from the folder the program was started from, and a dial that keeps
// the window alive and can be stopped. Decided from the stand-ins' journal, the stand-in netsh's
// store and the remote-access state. Each scenario runs in a Wine session of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/profile/conn_profile.h"
#include "platform/win32/text_codec.h"
#include "platform/win32/unique_handle.h"
#include "sim/sim_state.h"
#include "tests/data/expected_files.h"
#include "tests/e2e/app_session.h"
#include "tests/e2e/window_driver.h"
#include "tests/win32/temp_folder.h"

namespace velmora {
namespace {

using testing::WindowDriver;
using testing::countStartingWith;
using testing::dialProfile;
using testing::ipsecProfile;
using testing::eventually;
using testing::kTicks;
using testing::saveSettings;
using testing::setLink;

constexpr const char* kOurs = "corvinaltexum";

bool assigned(const std::string& policy) {
    const sim::IpsecStore store = sim::loadIpsecStore();
    const sim::StoredPolicy* found = store.policy(policy);
    return found != nullptr && found->assigned;
}

// The source address of the outbound rule's filter: this computer's address as applied.
std::string appliedLocalAddress() {
    const sim::IpsecStore store = sim::loadIpsecStore();
    const sim::StoredFilterList* list = store.filterList("windows to zerta");
    return list != nullptr && !list->filters.empty() ? list->filters.front().srcaddr : std::string();
}

// The program's message box text, answered; empty when none came.
std::string answerNextMessage(const WindowDriver& window) {
    const auto box = window.waitForMessageBox(kTicks);
    if (!box) {
        return {};
    }
    EXPECT_TRUE(window.answerMessageBox(box->text, kTicks));
    return box->text;
}

class SessionScenario : public testing::AppSession {
protected:
    explicit SessionScenario(const testing::WindowsRelease& windows) : AppSession(windows) {}

    // A Connect whose rasdial takes twenty seconds; returns once rasdial runs.
    WindowDriver connectSlowly() {
        EXPECT_TRUE(saveSettings(ipsecProfile()));
        sim::saveRasdialScenario({true, 20, "10.10.10.4"});
        WindowDriver window = startShown();
        EXPECT_TRUE(window.clickLater(Control::Command1));
        EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 1; }, kTicks));
        return window;
    }

    // Nothing of the dial is left: its connection hung up, no tunnel address, our policy not
    // assigned, the withdrawal the last of the policy's steps, and no message.
    void expectNothingLeftOfTheDial(const WindowDriver& window) {
        EXPECT_TRUE(eventually([] { return sim::loadConnections().empty(); }, kTicks));
        EXPECT_EQ(countStartingWith(journal(), "RasHangUpA "), 1);
        const std::string unassign = "netsh ipsec static set policy name=corvinaltexum assign=no";
        EXPECT_TRUE(eventually(
            [&] {
                const auto lines = journal();
                return !assigned(kOurs) && std::count(lines.begin(), lines.end(), unassign) == 2;
            },
            kTicks));
        const auto lines = journal();
        const auto lastAssignment = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& line) {
            return line.find(" assign=") != std::string::npos;
        });
        ASSERT_NE(lastAssignment, lines.rend());
        EXPECT_EQ(*lastAssignment, unassign);
        EXPECT_EQ(countStartingWith(lines, "ping "), 0);
        if (IsWindow(window.window())) {
            EXPECT_TRUE(window.messageBoxes().empty());
        }
    }
};

class OnWindows10 : public SessionScenario {
protected:
    OnWindows10() : SessionScenario(testing::kWindows10) {}
};

class OnWindowsXp : public SessionScenario {
protected:
    OnWindowsXp() : SessionScenario(testing::kWindowsXp) {}
};

TEST_F(OnWindows10, aRedialThatBringsANewAddressIsProtectedForIt) {
    ConnProfile p = ipsecProfile();
    p.Check3 = kChecked;  // auto-dial: no dial report
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(journalled("ping -n 8 10.0.0.0"));
    ASSERT_EQ(appliedLocalAddress(), "10.10.10.4");

    // The link drops and the next dial gets another address.
    sim::saveRasdialScenario({true, 0, "10.10.10.9"});
    setLink(false);
    dropTunnelAddress();
    EXPECT_TRUE(eventually([&] { return appliedLocalAddress() == "10.10.10.9" && assigned(kOurs); }, 60000));
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "ping ") == 2; }, kTicks));
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.9");
    testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.9/32 dev lo 2>/dev/null\"");
}

// After a sleep the service still lists the connection, but its tunnel is gone: the resume's look
// misses the address, which the watch's next tick looks at again and confirms; the link is hung up
// and dialled again, and the policy follows the new address. The watch's ticks alone never would:
// to them the link is up and covered.
TEST_F(OnWindows10, aResumeAndTheNextTickHangUpALinkWhoseTunnelIsGoneAndRedial) {
    ConnProfile p = ipsecProfile();
    p.Check3 = kChecked;
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(journalled("ping -n 8 10.0.0.0"));
    sim::saveRasdialScenario({true, 0, "10.10.10.9"});
    dropTunnelAddress();
    Sleep(6000);  // a tick of the watch, which finds nothing to do
    ASSERT_EQ(countStartingWith(journal(), "RasHangUpA "), 0);
    ASSERT_TRUE(PostMessageW(window.window(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0));
    EXPECT_TRUE(eventually([&] { return appliedLocalAddress() == "10.10.10.9" && assigned(kOurs); }, kTicks));
    const auto lines = journal();
    EXPECT_EQ(countStartingWith(lines, "RasHangUpA "), 1);
    EXPECT_EQ(countStartingWith(lines, "rasdial "), 2);
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.9");
    EXPECT_TRUE(window.messageBoxes().empty());
    testing::runCommandLine("/bin/sh -c \"ip addr del 10.10.10.9/32 dev lo 2>/dev/null\"");
}

TEST_F(OnWindows10, aLinkUpAtConnectIsProtectedForTheAddressItObtained) {
    ConnProfile p = ipsecProfile();
    p.txtlocal = "10.10.10.2";  // saved a session ago
    ASSERT_TRUE(saveSettings(p));
    WindowDriver window = startShown();
    // Dialled another way since the program started, with another address.
    sim::saveConnections({{41, "corvinaltexum", "10.10.10.7"}});
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(journalled("ping -n 8 10.0.0.0"));
    EXPECT_EQ(appliedLocalAddress(), "10.10.10.7");
    EXPECT_TRUE(assigned(kOurs));
    EXPECT_EQ(window.text(Control::txtlocal), "10.10.10.7");
    // The link watch's ticks find the link covered: one apply, no pair of its own.
    Sleep(11000);
    const auto lines = journal();
    EXPECT_EQ(countStartingWith(lines, "rasdial "), 0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "netsh ipsec static set policy name=corvinaltexum assign=yes"), 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "netsh ipsec static set policy name=corvinaltexum assign=no"), 0);
    EXPECT_EQ(countStartingWith(lines, "ping "), 1);
    EXPECT_TRUE(window.messageBoxes().empty());
}

TEST_F(OnWindows10, aFailingNetshStepStopsConnectBeforeTheDial) {
    sim::saveNetshFailure("add filteraction");
    ASSERT_TRUE(saveSettings(ipsecProfile()));
    WindowDriver window = startShown();
    ASSERT_TRUE(window.clickLater(Control::Command1));
    const std::string message = answerNextMessage(window);
    EXPECT_EQ(message.rfind("IPSec策略没有设置成功，本次没有拨号。\n\n原因：", 0), 0u) << message;
    EXPECT_NE(message.find("退出码 1"), std::string::npos) << message;
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 0);
    EXPECT_FALSE(assigned(kOurs));
    EXPECT_TRUE(window.enabled(Control::Command1));
    EXPECT_FALSE(window.enabled(Control::Command2));
}

TEST_F(OnWindows10, aLocalPolicyAssignedBeforeIsAssignedAgainAfterStop) {
    sim::IpsecStore store;
    store.policies.push_back({"办公室策略", true});
    sim::saveIpsecStore(store);
    WindowDriver window = connectIpsec();
    EXPECT_TRUE(assigned(kOurs));
    EXPECT_FALSE(assigned("办公室策略"));

    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);  // 停止
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, 60000));
    EXPECT_TRUE(assigned("办公室策略"));
    EXPECT_FALSE(assigned(kOurs));
}

TEST_F(OnWindows10, toolsPlantedInTheFolderItStartsFromNeverRun) {
    testing::TempFolder downloads;
    for (const wchar_t* name : {L"rasdial.exe", L"netsh.exe", L"route.exe", L"ping.exe"}) {
        ASSERT_TRUE(CopyFileW((widen(VELMORA_PROGRAMS_DIR) + L"\\planted.exe").c_str(), downloads.file(name).c_str(),
                              FALSE));
    }
    connectIpsec(ipsecProfile(), downloads.path());
    EXPECT_TRUE(eventually([&] { return countStartingWith(journal(), "route ") >= 1; }, kTicks));
    const auto lines = journal();
    EXPECT_EQ(countStartingWith(lines, "planted: "), 0);
    EXPECT_EQ(countStartingWith(lines, "rasdial corvinaltexum "), 1);
    EXPECT_GE(countStartingWith(lines, "netsh ipsec static "), 18);
    EXPECT_TRUE(assigned(kOurs));
}

// What the program keeps is private: the user's settings file left open to everyone is closed at
// the start, the phonebooks are made closed, and a phonebook changed after the start is the
// program's own again when rasdial runs.
TEST_F(OnWindows10, theFilesItKeepsGrantNothingToOthersAndADialReadsItsOwnPhonebook) {
    // Made the plain way, as another user or an earlier version would: open to everyone here.
    const auto replacePlainly = [](const std::wstring& path, const std::string& bytes) {
        DeleteFileW(path.c_str());
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        DWORD written = 0;
        return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE;
    };
    const std::wstring settings = testing::settingsPath();
    ASSERT_TRUE(saveSettings(ipsecProfile()));
    const std::string savedBytes = testing::readBytes(settings);
    ASSERT_TRUE(replacePlainly(settings, savedBytes));
    ASSERT_EQ(testing::grantedTo(settings).count(L"S-1-1-0"), 1u);
    sim::saveRasdialScenario({true, 3, "10.10.10.4"});
    WindowDriver window = startShown();

    const std::wstring phonebook = app.phonebook(L"ipsec.pbk");
    ASSERT_TRUE(replacePlainly(phonebook, "[corvinaltexum]\r\nCustomDialDll=C:\\Users\\Public\\dial.dll\r\n"));
    ASSERT_TRUE(window.clickLater(Control::Command1));
    ASSERT_TRUE(eventually([&] { return countStartingWith(journal(), "rasdial ") == 1; }, kTicks));
    EXPECT_EQ(testing::readBytes(phonebook), testing::kIpsecPbk) << "while rasdial runs";
    EXPECT_TRUE(window.answerMessageBox("拨号成功！", kTicks));

    EXPECT_EQ(testing::readBytes(settings), savedBytes);
    for (const std::wstring& file : {settings, phonebook}) {
        EXPECT_EQ(testing::grantedTo(file).count(L"S-1-1-0"), 0u) << narrow(file);
    }
}

TEST_F(OnWindows10, theWindowAnswersDuringADialAndTheTraysStopEndsIt) {
    WindowDriver window = connectSlowly();
    // Windows takes a window that does not answer within five seconds for hung; this one
    // answers at once, every time, while rasdial runs.
    for (int probe = 0; probe < 16; ++probe) {
        DWORD_PTR result = 0;
        EXPECT_NE(SendMessageTimeoutW(window.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 100, &result), 0)
            << "probe " << probe;
        Sleep(250);
    }
    EXPECT_FALSE(window.enabled(Control::Command1));
    EXPECT_TRUE(window.enabled(Control::Command2));
    HWND menu = window.openTrayMenu();
    ASSERT_NE(menu, nullptr);
    window.chooseMenuRow(menu, 2);  // 停止
    EXPECT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    EXPECT_FALSE(window.enabled(Control::Command2));
    expectNothingLeftOfTheDial(window);
    Sleep(6000);  // a tick of each timer: the auto-dial holds, the watch finds nothing to do
    EXPECT_EQ(countStartingWith(journal(), "rasdial "), 1);
}

TEST_F(OnWindows10, closingDuringADialEndsItAndThenTheProgram) {
    WindowDriver window = connectSlowly();
    PostMessageW(window.window(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(app.waitForExit(kTicks));
    expectNothingLeftOfTheDial(window);
}

TEST_F(OnWindowsXp, stopAfterTheKeyWasEditedWithdrawsWhatWasApplied) {
    WindowDriver window = connectIpsec();
    window.trayMouse(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(eventually([&] { return IsWindowVisible(window.window()) != FALSE; }, kTicks));
    window.setText(Control::txtpreshare, "abc");
    ASSERT_TRUE(window.clickLater(Control::Command2));
    ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    std::vector<std::string> policy;
    for (const std::string& line : journal()) {
        if (line.rfind("ipseccmd ", 0) == 0) {
            policy.push_back(line);
        }
    }
    ASSERT_GE(policy.size(), 2u);
    for (auto line = policy.end() - 2; line != policy.end(); ++line) {
        EXPECT_NE(line->find(" -a preshare:sharedkey1 -t "), std::string::npos) << *line;
        EXPECT_EQ(line->substr(line->size() - 3), " -y") << *line;
    }
    EXPECT_TRUE(window.messageBoxes().empty());
}

TEST_F(OnWindowsXp, theTunnelsOwnIpsecAndPptpFailuresGetTheirAdvice) {
    ASSERT_TRUE(saveSettings(dialProfile()));
    WindowDriver window = startShown();
    const std::vector<std::pair<std::uint32_t, std::vector<std::string>>> failures = {
        {788, {"错误 788：", "ProhibitIpsec", "重新启动", "预共享的密钥和加密认证算法与此无关"}},
        // The profile dials PPTP: its own port and protocol, not L2TP's.
        {809, {"错误 809：", "TCP 1723端口和GRE协议"}},
    };
    for (const auto& [code, parts] : failures) {
        sim::saveRasdialScenario({false, 0, "", code});
        ASSERT_TRUE(window.clickLater(Control::Command1));
        const std::string message = answerNextMessage(window);
        EXPECT_EQ(message.rfind("拨号失败！请检查PPTP参数重新拨号！\n\n", 0), 0u) << message;
        for (const std::string& part : parts) {
            EXPECT_NE(message.find(part), std::string::npos) << code << " lacks " << part << ":\n" << message;
        }
        EXPECT_EQ(message.find("NAT"), std::string::npos) << message;
        EXPECT_EQ(message.find("UDP 1701"), std::string::npos) << message;
        ASSERT_TRUE(eventually([&] { return window.enabled(Control::Command1); }, kTicks));
    }
}

}  // namespace
}  // namespace velmora
