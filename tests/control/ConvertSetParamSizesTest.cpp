#include "fzctrl/control/CFramzelCtrl.h"
#include "tests/control/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace fz {
namespace {

using test::SettingsTest;

// The target size goes on to the video filter, which keeps it in 16 bits and rounds it up to its
// encoder's multiple: sizes it cannot hold take the defaults instead of overflowing there.
TEST_F(SettingsTest, ConvertSetParamReplacesTargetSizesTheFilterCannotHold) {
    struct Case {
        std::int32_t width, height;
        std::int32_t keptWidth, keptHeight;
    };
    const std::int32_t huge = std::numeric_limits<std::int32_t>::max();
    const Case cases[] = {
        {176, 144, 176, 144},
        {640, 480, 640, 480},
        {1, 1, 1, 1},
        {65520, 65520, 65520, 65520},
        {65521, 144, 320, 144},
        {176, huge, 176, 240},
        {0, 0, 320, 240},
        {-176, -144, 320, 240},
        {std::numeric_limits<std::int32_t>::min(), 144, 320, 144},
    };
    for (const Case& c : cases) {
        CFramzelCtrl ctrl;
        ConvertParams caller{};
        caller.width = c.width;
        caller.height = c.height;
        ctrl.ConvertSetParam(test::AddressOf(caller));
        EXPECT_EQ(ctrl.Params().width, c.keptWidth) << c.width << " x " << c.height;
        EXPECT_EQ(ctrl.Params().height, c.keptHeight) << c.width << " x " << c.height;
    }
}

} // namespace
} // namespace fz
