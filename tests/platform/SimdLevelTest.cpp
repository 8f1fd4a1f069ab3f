#include "platform/cpu/SimdLevel.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using fz::cpu::AllowedSimdLevel;
using fz::cpu::ProcessorRuns;
using fz::cpu::SimdLevel;

TEST(SimdLevelTest, EnvironmentCapsWhatTheProcessorRuns) {
    unsetenv("FRAMZEL_SIMD");
    const SimdLevel best = AllowedSimdLevel();
    EXPECT_TRUE(ProcessorRuns(best));
    if (best < SimdLevel::Avx2) {
        EXPECT_FALSE(ProcessorRuns(SimdLevel::Avx2));
    }

    setenv("FRAMZEL_SIMD", "0", 1);
    EXPECT_EQ(AllowedSimdLevel(), SimdLevel::Portable);
    setenv("FRAMZEL_SIMD", "sse2", 1);
    EXPECT_EQ(AllowedSimdLevel(), best < SimdLevel::Sse2 ? best : SimdLevel::Sse2);
    setenv("FRAMZEL_SIMD", "anything else", 1);
    EXPECT_EQ(AllowedSimdLevel(), best);
    unsetenv("FRAMZEL_SIMD");
}

} // namespace
