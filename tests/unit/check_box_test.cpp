#include "core/profile/check_box.h"

#include <gtest/gtest.h>

#include "core/profile/conn_profile.h"
#include "tests/fakes/fake_control_surface.h"

namespace velmora {
namespace {

class CheckBoxTest : public ::testing::Test {
protected:
    void set(int value) {
        setCheckValue(window, Control::Check3, value, [this] { seen.push_back(window.value(Control::Check3)); });
    }

    testing::FakeControlSurface window;
    std::vector<int> seen;  // the box's value at each run of the reaction
};

TEST_F(CheckBoxTest, runsTheReactionOnceAfterAChange) {
    set(kChecked);
    EXPECT_EQ(seen, std::vector<int>{kChecked});
    set(kUnchecked);
    EXPECT_EQ(seen, (std::vector<int>{kChecked, kUnchecked}));
}

TEST_F(CheckBoxTest, runsNothingWhenTheValueIsTheSame) {
    set(kUnchecked);
    window.setValue(Control::Check3, kChecked);
    set(kChecked);
    EXPECT_TRUE(seen.empty());
}

TEST_F(CheckBoxTest, leavingTheGreyedStateIsAChange) {
    window.setValue(Control::Check3, kGreyed);
    set(kUnchecked);
    EXPECT_EQ(seen, std::vector<int>{kUnchecked});
}

TEST_F(CheckBoxTest, aBoxWithoutReactionIsJustSet) {
    setCheckValue(window, Control::checkHD, kChecked, {});
    EXPECT_EQ(window.value(Control::checkHD), kChecked);
}

}  // namespace
}  // namespace velmora
