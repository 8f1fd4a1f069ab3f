// The synthesis filter against a double-precision transcription of ISO/IEC 11172-3 A.2
// (Figure A.2: the 1024-value FIFO V, the matrix N, U, W and the sums), and its limits.
#include "fzctrl/play/mpa/MpaSynthesis.h"
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "fzctrl/play/mpa/MpaSynthesisTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace fz {
namespace {

class ReferenceSynthesis {
public:
    // 32 output samples in units of full scale × 32768, neither rounded nor limited.
    void Run(const float subbands[32], double out[32]) {
        for (int i = 1023; i >= 64; --i)
            m_v[i] = m_v[i - 64];
        for (int i = 0; i < 64; ++i) {
            double sum = 0.0;
            for (int k = 0; k < 32; ++k)
                sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64.0) * subbands[k];
            m_v[i] = sum;
        }
        double u[512];
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 32; ++j) {
                u[i * 64 + j] = m_v[i * 128 + j];
                u[i * 64 + 32 + j] = m_v[i * 128 + 96 + j];
            }
        for (int j = 0; j < 32; ++j) {
            double sum = 0.0;
            for (int i = 0; i < 16; ++i)
                sum += u[j + 32 * i] * mpa::SynthesisWindowTimes65536(j + 32 * i) / 65536.0;
            out[j] = sum * 32768.0;
        }
    }

private:
    double m_v[1024] = {};
};

TEST(MpaSynthesisTest, MatchesTheStandardProcedure) {
    MpaInit();
    mpa::SynthesisState state;
    mpa::SynthesisReset(state);
    ReferenceSynthesis reference[2];
    std::mt19937 random(3);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    double maxError = 0.0, sumSquares = 0.0;
    int count = 0, limited = 0;
    for (int slot = 0; slot < 200; ++slot) {
        std::int16_t pcm[64];
        for (int ch = 0; ch < 2; ++ch) {
            // Loud slots now and then drive the output into its limits.
            const float gain = slot % 17 == 5 ? 4.0f : 0.05f;
            float subbands[32];
            for (float& s : subbands)
                s = gain * uniform(random);
            double expected[32];
            reference[ch].Run(subbands, expected);
            mpa::Synthesize(state, ch, subbands, pcm + ch, 2);
            for (int j = 0; j < 32; ++j) {
                const double limitedExpected = std::clamp(expected[j], -32768.0, 32767.0);
                limited += limitedExpected != expected[j];
                const double error = pcm[2 * j + ch] - limitedExpected;
                maxError = std::max(maxError, std::abs(error));
                sumSquares += error * error;
                ++count;
            }
        }
    }
    const double rms = std::sqrt(sumSquares / count);
    std::printf("synthesis against the double-precision procedure: RMS %.4f LSB, max %.4f LSB, "
                "%d of %d samples limited\n",
                rms, maxError, limited, count);
    // Rounding to integers alone gives up to 0.5 LSB and an RMS of about 0.29 LSB; single
    // precision adds a little where loud slots sit in the history.
    EXPECT_LE(maxError, 1.0);
    EXPECT_LE(rms, 0.3);
    EXPECT_GT(limited, 0);
}

TEST(MpaSynthesisTest, ChannelsAreIndependentAndResetClearsTheHistory) {
    MpaInit();
    mpa::SynthesisState state;
    mpa::SynthesisReset(state);
    float loud[32], zero[32] = {};
    for (int k = 0; k < 32; ++k)
        loud[k] = 0.1f * static_cast<float>(k % 3) - 0.1f;
    std::int16_t left[32], right[32];
    for (int slot = 0; slot < 20; ++slot) {
        mpa::Synthesize(state, 0, loud, left, 1);
        mpa::Synthesize(state, 1, zero, right, 1);
        for (std::int16_t v : right)
            ASSERT_EQ(v, 0);
    }
    mpa::SynthesisReset(state);
    mpa::Synthesize(state, 0, zero, left, 1);
    for (std::int16_t v : left)
        EXPECT_EQ(v, 0);
}

TEST(MpaSynthesisTest, LimitsHugeAndNonFiniteInput) {
    MpaInit();
    mpa::SynthesisState state;
    mpa::SynthesisReset(state);
    float subbands[32] = {};
    std::int16_t pcm[32];
    bool sawTop = false, sawBottom = false;
    for (int slot = 0; slot < 32; ++slot) {
        subbands[0] = slot % 2 ? 1e6f : -1e6f;
        mpa::Synthesize(state, 0, subbands, pcm, 1);
        for (std::int16_t v : pcm) {
            sawTop |= v == 32767;
            sawBottom |= v == -32768;
        }
    }
    EXPECT_TRUE(sawTop);
    EXPECT_TRUE(sawBottom);
    // Non-finite values must not reach an undefined float-to-integer conversion.
    subbands[3] = std::numeric_limits<float>::infinity();
    subbands[4] = std::numeric_limits<float>::quiet_NaN();
    for (int slot = 0; slot < 20; ++slot)
        mpa::Synthesize(state, 1, subbands, pcm, 1);
    SUCCEED();
}

} // namespace
} // namespace fz
