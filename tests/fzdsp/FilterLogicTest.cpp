#include "fzdsp/filters/FrameSchedule.h"
#include "platform/com/ModuleCounts.h"

#include <gtest/gtest.h>

#include <limits>

// The filters of this test program count in the program's own module.
FZ_COM_DEFINE_MODULE()

namespace fz::dsp {
namespace {

TEST(FrameScheduleTest, RateRules) {
    FrameSchedule schedule;
    EXPECT_EQ(schedule.Rate(), 5.0);
    EXPECT_EQ(schedule.IntervalMs(), 195.0) << "1000 / 5 - 5 at construction";
    struct Case {
        double given;
        double rate;
    };
    const Case cases[] = {{5.01, 6.01}, {0.5, 2.0},
                          {-3.0, 2.0},  {std::numeric_limits<double>::quiet_NaN(), 2.0},
                          {29.0, 30.0}, {100.0, 30.0}};
    for (const Case& c : cases) {
        schedule.TakeFrame(5000.0);
        schedule.SetFrameRate(c.given);
        EXPECT_DOUBLE_EQ(schedule.Rate(), c.rate) << c.given;
        EXPECT_DOUBLE_EQ(schedule.IntervalMs(), 1000.0 / c.rate) << c.given;
        EXPECT_EQ(schedule.NextDueMs(), 0.0) << "the schedule starts again";
    }
}

// The first frame at 0 is due and moves the next due time on by one interval; a frame far
// behind the schedule (a seek backwards) re-anchors it too.
TEST(FrameScheduleTest, FirstFrameAndBackwardSeek) {
    FrameSchedule schedule;
    schedule.SetFrameRate(5.01);
    EXPECT_TRUE(schedule.TakeFrame(0.0));
    EXPECT_NEAR(schedule.NextDueMs(), 166.39, 0.01);
    EXPECT_FALSE(schedule.TakeFrame(120.0));
    EXPECT_TRUE(schedule.TakeFrame(170.0));
    EXPECT_TRUE(schedule.TakeFrame(-1000.0)) << "more than two intervals away";
    EXPECT_NEAR(schedule.NextDueMs(), -1000.0 + 1000.0 / 6.01, 1e-9);
}

} // namespace
} // namespace fz::dsp
