#include "ui/first_focus.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/fakes/fake_control_surface.h"

namespace velmora {
namespace {

struct FirstFocusRow {
    const char* userName;
    const char* password;
    const char* server;
    std::set<Control> cannotType;
    Control expected;
};

TEST(FirstFocus, isTheFirstFieldStillToFillElseConnect) {
    using C = Control;
    const FirstFocusRow rows[] = {
        {"", "", "", {}, C::txtUserName},
        {"zhang", "", "", {}, C::txtPasswd},
        {"zhang", "secret", "", {}, C::txtServerAddress},
        {"zhang", "secret", "203.0.113.10", {}, C::Command1},
        // Blanks fill nothing, and neither does the server of a fresh settings file.
        {"   ", "secret", "203.0.113.10", {}, C::txtUserName},
        {"zhang", "secret", " 0.0.0.0 ", {}, C::txtServerAddress},
        {"zhang", "secret", "10.0.0.0", {}, C::Command1},
        // A field the user cannot type into now (hidden, disabled, fixed) is passed by.
        {"", "", "", {C::txtUserName}, C::txtPasswd},
        {"zhang", "", "", {C::txtPasswd, C::txtServerAddress}, C::Command1},
        {"zhang", "secret", "0.0.0.0", {C::txtServerAddress}, C::Command1},
    };
    for (const FirstFocusRow& row : rows) {
        testing::FakeControlSurface window;
        window.setText(C::txtUserName, row.userName);
        window.setText(C::txtPasswd, row.password);
        window.setText(C::txtServerAddress, row.server);
        const Control first = firstFocus(window, [&](Control field) { return row.cannotType.count(field) == 0; });
        EXPECT_EQ(first, row.expected) << "\"" << row.userName << "\" \"" << row.password << "\" \"" << row.server
                                       << "\", " << row.cannotType.size() << " not typable";
    }
}

}  // namespace
}  // namespace velmora
