#include "ui/layout.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace velmora {

namespace {

using K = ControlKind;
using C = Control;
constexpr std::optional<Control> kNone;
constexpr std::optional<Control> kInFrame1 = C::Frame1;
constexpr std::optional<Control> kInFrame2 = C::Frame2;
constexpr std::optional<Control> kInFrame5 = C::Frame5;
constexpr int kNoTab = -1;

// clang-format off
constexpr std::array<LayoutItem, kLayoutItemCount> kItems = {{
    {"Frame5", 0, C::Frame5, K::frame, kNone, "高级选项", {2400, 2760, 4815, 3255}, 15, 0, false, true},
    {"txtpeer2", 0, C::txtpeer2, K::textBox, kInFrame5, "200.200.0.0", {2160, 2280, 2175, 270}, 25, 15, false, true},
    {"txtpeermask2", 0, C::txtpeermask2, K::textBox, kInFrame5, "255.255.0.0", {2160, 2760, 2175, 270}, 27, 15, false, true},
    {"txtServerAddress", 0, C::txtServerAddress, K::textBox, kInFrame5, "203.0.113.10", {2160, 840, 2175, 270}, 19, 0, false, true},
    {"txtpeermask", 0, C::txtpeermask, K::textBox, kInFrame5, "255.255.0.0", {2160, 1800, 2175, 270}, 23, 15, false, true},
    {"txtpeer", 0, C::txtpeer, K::textBox, kInFrame5, "10.0.0.0", {2160, 1320, 2175, 270}, 21, 15, false, true},
    {"Option1", 0, C::Option1, K::optionButton, kInFrame5, "&L2TP", {960, 360, 975, 255}, 16, 0, false, true},
    {"Option1", 1, C::Option1, K::optionButton, kInFrame5, "PP&TP", {2160, 360, 1335, 255}, 17, 0, false, true},
    {"Label15", 0, kNone, K::label, kInFrame5, "远端内网地址2(&E)：", {360, 2280, 1740, 375}, 24, 0, false, true},
    {"Label14", 0, kNone, K::label, kInFrame5, "远端内网掩码2(&F)：", {360, 2760, 1740, 375}, 26, 0, false, true},
    {"Label3", 0, kNone, K::label, kInFrame5, "隧道主机名或&IP地址：", {120, 840, 1935, 255}, 18, 0, false, true},
    {"Label9", 0, kNone, K::label, kInFrame5, "远端内网掩码1(&M)：", {360, 1800, 1740, 375}, 22, 0, false, true},
    {"Label5", 0, kNone, K::label, kInFrame5, "远端内网地址1(&R)：", {360, 1320, 1740, 375}, 20, 0, false, true},
    {"Check3", 0, C::Check3, K::checkBox, kNone, "自动拨号(&D)", {2400, 240, 1335, 255}, 0, 0, false, true},
    {"Check1", 0, C::Check1, K::checkBox, kNone, "允许IPSec Over L2tp(&O)", {2400, 240, 2280, 255}, 1, 0, false, true},
    {"Check2", 0, C::Check2, K::checkBox, kNone, "在远程网络上使用默认网关(&G)", {4680, 240, 2880, 255}, 2, 0, false, true},
    {"Frame2", 0, C::Frame2, K::frame, kNone, "VPN 配置", {2400, 600, 4815, 2055}, 3, 0, false, true},
    {"checkHD", 0, C::checkHD, K::checkBox, kInFrame2, "验证硬件特征码(&H)", {360, 1320, 1920, 255}, 8, 0, false, true},
    {"txtHD", 0, C::txtHD, K::textBox, kInFrame2, "", {2280, 1320, 2055, 270}, kNoTab, 0, false, true},
    {"Check4", 0, C::Check4, K::checkBox, kInFrame2, "高级选项(&A)", {1080, 1680, 1440, 255}, 9, 0, false, true},
    {"txtPasswd", 0, C::txtPasswd, K::textBox, kInFrame2, "", {2280, 840, 1215, 270}, 7, 0, true, true},
    {"txtUserName", 0, C::txtUserName, K::textBox, kInFrame2, "", {2280, 360, 1215, 270}, 5, 0, false, true},
    {"Label8", 0, kNone, K::label, kInFrame2, "VPN密  码(&P)：", {840, 840, 1380, 255}, 6, 0, false, true},
    {"Label7", 0, kNone, K::label, kInFrame2, "VPN用户名(&U)：", {840, 360, 1380, 255}, 4, 0, false, true},
    {"Command3", 0, C::Command3, K::button, kNone, "重新连接(&J)", {7440, 1920, 975, 375}, 14, 0, false, false},
    {"Command2", 0, C::Command2, K::button, kNone, "停止(&S)", {7440, 1320, 975, 375}, 11, 0, false, true},
    {"Command1", 0, C::Command1, K::button, kNone, "连接(&C)", {7440, 720, 975, 375}, 10, 0, false, true},
    {"Frame1", 0, C::Frame1, K::frame, kNone, "IPSec 配置", {2400, 6480, 4815, 1455}, 28, 0, false, true},
    {"txtpreshare", 0, C::txtpreshare, K::textBox, kInFrame1, "", {2280, 360, 2175, 270}, 30, 128, true, true},
    {"comalg", 0, C::comalg, K::comboList, kInFrame1, "", {2280, 840, 2175, 300}, 32, 0, false, true},
    {"txtlocal", 0, C::txtlocal, K::textBox, kInFrame1, "10.10.10.4", {2280, 1800, 2175, 270}, 34, 15, false, true},
    {"txtConnName", 0, C::txtConnName, K::comboEditable, kInFrame1, "corvinaltexum", {2280, 2280, 2175, 300}, 36, 0, false, true},
    {"Label1", 0, kNone, K::label, kInFrame1, "加密认证算法(&Y)：", {360, 840, 1860, 375}, 31, 0, false, true},
    {"Label4", 0, kNone, K::label, kInFrame1, "预共享的密钥(&K)：", {360, 360, 1860, 375}, 29, 0, false, true},
    {"Label2", 0, kNone, K::label, kInFrame1, "L2TP获得的地址(&B)：", {360, 1800, 1860, 255}, 33, 0, false, true},
    {"Label6", 0, kNone, K::label, kInFrame1, "L2TP连接的名称(&N)：", {360, 2280, 1860, 255}, 35, 0, false, true},
    {"Image1", 0, kNone, K::picture, kNone, "", {120, 720, 2040, 555}, kNoTab, 0, false, true},
    {"Label13", 0, kNone, K::label, kNone, "Velmora", {120, 1440, 2055, 255}, 12, 0, false, true},
    {"lblStatus", 0, C::lblStatus, K::label, kNone, "", {120, 1800, 2160, 735}, 13, 0, false, true},
}};

constexpr std::array<TrayMenuItem, kTrayMenuItemCount> kTrayMenu = {{
    {"mnuTrayRestore", "还原", C::mnuTrayRestore},
    {"menuOn", "连接", C::menuOn},
    {"menuOff", "停止", C::menuOff},
    {"menuL2tp", "重新连接", C::menuL2tp},
    {"mnuTrayStatus", "连接状态", kNone},
    {"mnuTrayLog", "查看日志", kNone},
    {"mnuTrayLogon", "登录时启动", C::mnuTrayLogon},
    {"mnuTraySep", "", kNone},
    {"mnuTrayClose", "退出", kNone},
}};
// clang-format on

}  // namespace

std::optional<char> accessKey(const char* caption) {
    for (const char* at = caption; *at != '\0'; ++at) {
        if (*at != '&') {
            continue;
        }
        const char key = *++at;
        if (key == '&') {
            continue;
        }
        if (std::isalnum(static_cast<unsigned char>(key)) == 0) {
            return std::nullopt;
        }
        return static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
    }
    return std::nullopt;
}

const std::array<LayoutItem, kLayoutItemCount>& layoutItems() {
    return kItems;
}

std::vector<const LayoutItem*> tabOrder() {
    std::vector<const LayoutItem*> items;
    for (const LayoutItem& item : kItems) {
        if (item.tabIndex >= 0) {
            items.push_back(&item);
        }
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const LayoutItem* a, const LayoutItem* b) { return a->tabIndex < b->tabIndex; });
    return items;
}

const LayoutItem& layoutItem(Control control, int index) {
    for (const LayoutItem& item : kItems) {
        if (item.control == control && item.index == index) {
            return item;
        }
    }
    // Every caller names a control of the table; anything else is a programming error.
    std::abort();
}

TwipsRect designRect(Control control) {
    return layoutItem(control).rect;
}

const std::array<TrayMenuItem, kTrayMenuItemCount>& trayMenuItems() {
    return kTrayMenu;
}

int twipsToPixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled >= 0 ? scaled + kTwipsPerInch / 2 : scaled - kTwipsPerInch / 2) / kTwipsPerInch);
}

int pixelsToTwips(int pixels, int dpi) {
    return dpi > 0 ? static_cast<int>(static_cast<long long>(pixels) * kTwipsPerInch / dpi) : 0;
}

}  // namespace velmora
