#include "platform/time/TickCount.h"

#include <gtest/gtest.h>

namespace {

using namespace fz::time;

class TimeTickCountTest : public ::testing::Test {
protected:
    void TearDown() override { ResetTickCountForTesting(); }
};

TEST_F(TimeTickCountTest, CountsMillisecondsOfTheMonotonicClock) {
    const std::uint32_t start = GetTickCount();
    const std::uint64_t start64 = GetTickCount64();
    Sleep(25);
    const std::uint32_t end = GetTickCount();
    EXPECT_GE(TicksBetween(start, end), 24u) << "at least the time slept (less a cut ms)";
    EXPECT_GE(GetTickCount64() - start64, 24u);
    const auto cut = static_cast<std::uint32_t>(GetTickCount64());
    EXPECT_LE(TicksBetween(cut, GetTickCount()), 1u)
        << "the 32-bit counter is the 64-bit one cut to 32 bits";
    EXPECT_LE(TicksBetween(GetTickCount(), TimeGetTime()), 1u) << "both read one clock";
}

TEST_F(TimeTickCountTest, WrapsAt32BitsAndIntervalsStayRight) {
    SetTickCountForTesting(0xFFFFFFF0u);
    const std::uint32_t before = GetTickCount();
    EXPECT_GE(before, 0xFFFFFFF0u);
    Sleep(40);
    const std::uint32_t after = TimeGetTime();
    EXPECT_LT(after, 0x1000u) << "wrapped to 0 and counting on";
    EXPECT_GE(TicksBetween(before, after), 39u);
    EXPECT_LT(TicksBetween(before, after), 0x10000u);

    ResetTickCountForTesting();
    const auto cut = static_cast<std::uint32_t>(GetTickCount64());
    EXPECT_LE(TicksBetween(cut, GetTickCount()), 1u);
}

static_assert(TicksBetween(0xFFFFFFFEu, 3u) == 5u);
static_assert(TicksBetween(10u, 10u) == 0u);

} // namespace
