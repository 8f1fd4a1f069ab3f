// The hybrid filter's transforms against the direct formula of ISO/IEC 11172-3 2.4.3.4.10.2 in
// double precision, and the hybrid filter's overlap-add, windows and frequency inversion on
// single lines.

#include "fzctrl/play/mpa/MpaImdct.h"
#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"
#include "fzctrl/play/mpa/MpaLayer3Hybrid.h"
#include "fzctrl/play/mpa/MpaLayer3State.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <ostream>
#include <random>

namespace fz::mpa {
namespace {

class Layer3Imdct : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Layer3BuildTables(); }
};

double Direct(const double* in, int n, int i) {
    double sum = 0.0;
    for (int k = 0; k < n / 2; ++k) {
        sum += in[k] * std::cos(std::numbers::pi / (2 * n) * (2 * i + 1 + n / 2) * (2 * k + 1));
    }
    return sum;
}

TEST_F(Layer3Imdct, BothSizesMatchTheDirectFormula) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    double worst36 = 0.0;
    double worst12 = 0.0;
    for (int trial = 0; trial < 50; ++trial) {
        double in[18];
        float inFloat[18];
        for (int k = 0; k < 18; ++k) {
            in[k] = value(random);
            inFloat[k] = static_cast<float>(in[k]);
        }
        float out[36];
        Imdct36(inFloat, out);
        for (int i = 0; i < 36; ++i) {
            worst36 = std::max(worst36, std::abs(out[i] - Direct(in, 36, i)));
        }
        // The short transform reads every third value, as the reordered spectrum holds it.
        double in6[6];
        for (int k = 0; k < 6; ++k) {
            in6[k] = static_cast<double>(inFloat[3 * k + 1]);
        }
        float out12[12];
        Imdct12(inFloat + 1, 3, out12);
        for (int i = 0; i < 12; ++i) {
            worst12 = std::max(worst12, std::abs(out12[i] - Direct(in6, 12, i)));
        }
    }
    // Sums of 18 (6) products of magnitude ≤ 1 in single precision.
    EXPECT_LT(worst36, 2e-5);
    EXPECT_LT(worst12, 5e-6);
}

// One line (away from the alias butterflies) through the hybrid filter of one granule and the
// next, against the direct windowed transform: the first granule gives the first half, the second
// the overlapped half.
struct HybridCase {
    const char* name;
    Layer3BlockType blockType;
    int line;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const HybridCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3HybridLine : public Layer3Imdct, public ::testing::WithParamInterface<HybridCase> {};

TEST_P(Layer3HybridLine, MatchesTheWindowedTransformWithOverlapAndInversion) {
    const HybridCase& c = GetParam();
    auto state = std::make_unique<Layer3State>();
    Layer3Reset(*state, 558);
    Layer3GranuleInfo granule{};
    granule.blockType = c.blockType;
    granule.valid = true;

    Layer3Spectrum spectrum{};
    spectrum.lines[c.line] = 1.0f;
    spectrum.nonZeroEnd = c.line + 1;
    float first[18][32];
    Layer3HybridFilter(spectrum, granule, 1, 0, *state, 0, first);
    Layer3Spectrum silence{};
    float second[18][32];
    Layer3HybridFilter(silence, granule, 1, 0, *state, 0, second);

    const int subband = c.line / 18;
    const auto& window = mpa::Layer3Tables().window[static_cast<std::size_t>(c.blockType)];
    double z[36] = {};
    if (c.blockType == Layer3BlockType::Short) {
        // Reordered: window w's coefficient k of subband s sits at 18 s + 3 k + w. A line of
        // short band 0, window 0 (k < 4) stays at frequency k of subband 0.
        double in[6] = {};
        in[c.line % 18] = 1.0;
        for (int i = 0; i < 12; ++i) {
            z[6 + i] = Direct(in, 12, i) * window[static_cast<std::size_t>(i)];
        }
    } else {
        double in[18] = {};
        in[c.line % 18] = 1.0;
        for (int i = 0; i < 36; ++i) {
            z[i] = Direct(in, 36, i) * window[static_cast<std::size_t>(i)];
        }
    }
    for (int t = 0; t < 18; ++t) {
        const double sign = (subband % 2 == 1 && t % 2 == 1) ? -1.0 : 1.0;
        EXPECT_NEAR(first[t][subband], sign * z[t], 1e-5) << "slot " << t;
        EXPECT_NEAR(second[t][subband], sign * z[18 + t], 1e-5) << "slot " << t;
        for (int sb = 0; sb < 32; ++sb) {
            if (sb != subband &&
                !(c.blockType != Layer3BlockType::Short && std::abs(sb - subband) == 1)) {
                EXPECT_EQ(first[t][sb], 0.0f) << "subband " << sb;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    BlockTypes, Layer3HybridLine,
    ::testing::Values(HybridCase{"NormalMiddleOfSubband", Layer3BlockType::Normal, 18 * 5 + 9},
                      HybridCase{"StartOddSubband", Layer3BlockType::Start, 18 * 7 + 8},
                      HybridCase{"StopSubband0", Layer3BlockType::Stop, 9},
                      HybridCase{"ShortWindow0", Layer3BlockType::Short, 2}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST_F(Layer3Imdct, TheHighestSubbandIsNeverDecoded) {
    auto state = std::make_unique<Layer3State>();
    Layer3Reset(*state, 558);
    Layer3GranuleInfo granule{};
    granule.blockType = Layer3BlockType::Normal;
    granule.valid = true;
    Layer3Spectrum spectrum{};
    for (int i = 0; i < 576; ++i) {
        spectrum.lines[i] = 1.0f;
    }
    spectrum.nonZeroEnd = 576;
    float out[18][32];
    Layer3HybridFilter(spectrum, granule, 1, 0, *state, 0, out);
    for (int t = 0; t < 18; ++t) {
        EXPECT_EQ(out[t][31], 0.0f);
        EXPECT_NE(out[t][30], 0.0f);
    }
    for (float v : state->overlap[0][31]) {
        EXPECT_EQ(v, 0.0f);
    }
}

} // namespace
} // namespace fz::mpa
