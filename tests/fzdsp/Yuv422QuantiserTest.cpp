#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422ForwardDct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace fz {
namespace {

TEST(Yuv422QuantiserTest, QualityGivesTheScaleFactor) {
    struct Case {
        int quality;
        int scale;
    };
    // 127 - 80 / 100 x 127 = 25.4, 127 - 12.7 = 114.3, 127 - 63.5 = 63.5: all truncated.
    for (const Case c : {Case{80, 25}, Case{100, 0}, Case{10, 114}, Case{50, 63}, Case{0, 127},
                         Case{-5, 127}, Case{250, 0}})
        EXPECT_EQ(QualityToScale(c.quality), c.scale) << c.quality;
}

// Quality 80, luminance DC: n = (25 x 16 + 32) / 64 = 6, R[6] = 5461, m_raw = 131072 x 2730
// + 65536 = 357892096, shift code 3, m = (m_raw >> 14) x 2 = 43688; the flat-255 DC 16256
// quantises to 169 (exactly 1016 / 6 = 169.3).
TEST(Yuv422QuantiserTest, WorkedLuminanceDcValue) {
    const int scale = QualityToScale(80);
    EXPECT_EQ(QuantisationStep(scale, QuantTable::kLuminance, 0), 6);
    EXPECT_EQ(Reciprocal(6), 5461u);
    const Yuv422QuantiserTables tables(std::pmr::get_default_resource());
    EXPECT_EQ(tables.RawMultiplier(scale, QuantTable::kLuminance, 0), 357892096u);
    EXPECT_EQ(tables.ShiftCode(scale, QuantTable::kLuminance), 3);
    const QuantMultipliers m = tables.Multipliers(scale, QuantTable::kLuminance);
    EXPECT_EQ(m.multiplier[0], 43688);
    EXPECT_EQ(Quantise(16256, m.multiplier[0], m.shiftCode), 169);
}

TEST(Yuv422QuantiserTest, ScaleTableEntries) {
    const std::array<std::uint32_t, 64> s = ScaleTable();
    EXPECT_EQ(s[0], 131072u);
    EXPECT_EQ(s[1], 90901u);
    EXPECT_EQ(s[9], 63042u);
    EXPECT_EQ(s[2], 85627u);
    EXPECT_EQ(s[10], 59384u);
    EXPECT_EQ(s[4], 131072u);
    EXPECT_EQ(s[8 * 3 + 5], s[9]);
}

TEST(Yuv422QuantiserTest, ShiftCodeRangesPerScale) {
    struct Range {
        int first, last, code;
    };
    const Range luminance[] = {{0, 5, 0},   {6, 9, 1},   {10, 17, 2},
                               {18, 35, 3}, {36, 67, 4}, {68, 127, 5}};
    const Range chrominance[] = {{0, 5, 0},   {6, 9, 1},    {10, 16, 2},  {17, 31, 3},
                                 {32, 62, 4}, {63, 122, 5}, {123, 127, 6}};
    const Yuv422QuantiserTables tables(std::pmr::get_default_resource());
    for (const Range& r : luminance)
        for (int q = r.first; q <= r.last; ++q)
            EXPECT_EQ(tables.ShiftCode(q, QuantTable::kLuminance), r.code) << "Q " << q;
    for (const Range& r : chrominance)
        for (int q = r.first; q <= r.last; ++q)
            EXPECT_EQ(tables.ShiftCode(q, QuantTable::kChrominance), r.code) << "Q " << q;
}

TEST(Yuv422QuantiserTest, DqtStepsEqualTheQuantisationSteps) {
    for (int q = 0; q <= kMaxScale; ++q)
        for (QuantTable table : {QuantTable::kLuminance, QuantTable::kChrominance})
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(DqtStep(q, table, i), QuantisationStep(q, table, i))
                    << "Q " << q << " position " << i;
    EXPECT_EQ(QuantisationStep(0, QuantTable::kChrominance, 63), 1);
    EXPECT_EQ(QuantisationStep(127, QuantTable::kLuminance, 53), (127 * 121 + 32) / 64);
}

TEST(Yuv422ForwardDctTest, JamShiftKeepsTheLowBit) {
    struct Case {
        std::int32_t a;
        int n;
        std::int32_t expected;
    };
    const Case cases[] = {
        {37, 0, 37},  {4, 1, 2},    {5, 1, 3},    {6, 1, 3},    {7, 1, 3},    {-5, 1, -3},
        {-4, 1, -2},  {16, 2, 4},   {18, 2, 5},   {20, 2, 5},   {17, 2, 4},   {-16, 2, -4},
        {-17, 2, -5}, {256, 4, 16}, {264, 4, 17}, {272, 4, 17}, {255, 4, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JamShift(c.a, c.n), c.expected) << c.a << " >> " << c.n;
}

TEST(Yuv422ForwardDctTest, MultipliersApproximateTheirFactors) {
    const double pi = std::numbers::pi;
    const double c1 = std::cos(pi / 16);
    struct Case {
        const char* name;
        std::int32_t (*multiply)(std::int32_t);
        double factor;
    };
    const Case cases[] = {
        {"A", MultiplyA, std::tan(pi / 8) / 2},
        {"B", MultiplyB, std::cos(3 * pi / 16) / (2 * c1)},
        {"C", MultiplyC, std::cos(5 * pi / 16) / (2 * c1)},
        {"D", MultiplyD, std::cos(7 * pi / 16) / (2 * c1)},
    };
    for (const Case& c : cases)
        for (std::int32_t a : {100000, -100000, 2080768, -2097152, 123457, -987653})
            EXPECT_NEAR(c.multiply(a), a * c.factor, std::abs(a) * 0.002 + 2)
                << c.name << "(" << a << ")";
}

TEST(Yuv422ForwardDctTest, FlatBlocksGiveOnlyDc) {
    for (const auto& [sample, dc] :
         {std::pair{127, 16256}, std::pair{-128, -16384}, std::pair{0, 0}}) {
        std::array<std::int32_t, 64> block;
        block.fill(sample);
        ForwardDct8x8(block);
        EXPECT_EQ(block[0], dc);
        for (std::size_t i = 1; i < 64; ++i)
            EXPECT_EQ(block[i], 0) << "sample " << sample << " position " << i;
    }
}

// The fixed-point DCT and quantiser against T.81 A.3.3 in double precision: the quantised value
// stays within one step's rounding of F / step (the integer path errs by about one half).
TEST(Yuv422ForwardDctTest, QuantisedCoefficientsFollowTheExactDct) {
    const double pi = std::numbers::pi;
    std::mt19937 random(2024);
    const Yuv422QuantiserTables tables(std::pmr::get_default_resource());
    double worst = 0;
    for (int scale : {0, 6, 25, 63, 127}) {
        for (QuantTable table : {QuantTable::kLuminance, QuantTable::kChrominance}) {
            const QuantMultipliers m = tables.Multipliers(scale, table);
            for (int trial = 0; trial < 200; ++trial) {
                std::array<std::int32_t, 64> block;
                const int spread = trial % 2 == 0 ? 256 : 32;
                const int base = static_cast<int>(random() % (257 - spread)) - 128;
                for (std::int32_t& s : block)
                    s = base + static_cast<int>(random() % spread);
                const std::array<std::int32_t, 64> samples = block;
                ForwardDct8x8(block);
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 8; ++x)
                                sum += samples[static_cast<std::size_t>(y * 8 + x)] *
                                       std::cos((2 * x + 1) * u * pi / 16) *
                                       std::cos((2 * y + 1) * v * pi / 16);
                        const double cu = u == 0 ? 1 / std::sqrt(2.0) : 1;
                        const double cv = v == 0 ? 1 / std::sqrt(2.0) : 1;
                        const std::size_t i = static_cast<std::size_t>(v * 8 + u);
                        const double exact =
                            cu * cv * sum / 4 / QuantisationStep(scale, table, v * 8 + u);
                        const double error =
                            std::abs(Quantise(block[i], m.multiplier[i], m.shiftCode) - exact);
                        worst = std::max(worst, error);
                        ASSERT_LE(error, 0.75) << "Q " << scale << " (" << v << ", " << u << ")";
                    }
            }
        }
    }
    RecordProperty("worst_error", std::to_string(worst));
}

} // namespace
} // namespace fz
