// Joint stereo on hand-made spectra: the left channel full, the right channel non-zero only in
// long band 0, so that bands 1..21 lie in the intensity region. Each case sets one band's
// intensity position and checks that band's factors by the formulas of ISO/IEC 11172-3
// 2.4.3.4.9 and 13818-3 2.4.3.2, including the illegal positions (MPEG-1: 7; MPEG-2/2.5: the
// largest value of the band's slen), which the oracle decodes differently in MPEG-2.

#include "fzctrl/play/mpa/MpaLayer3Stereo.h"
#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <ostream>
#include <string>

namespace fz::mpa {
namespace {

struct StereoCase {
    const char* name;
    int version;
    int modeExtension;
    int band;
    int position;
    int slenMax;          // MPEG-2/2.5: the largest value of the band's slen
    int scalefacCompress; // bit 0: intensity_scale (MPEG-2/2.5)
    float left;
    float right;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const StereoCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3Stereo : public ::testing::TestWithParam<StereoCase> {
protected:
    static void SetUpTestSuite() { Layer3BuildTables(); }
};

TEST_P(Layer3Stereo, BandGetsItsFactors) {
    const StereoCase& c = GetParam();
    const int rateRow = c.version == 1 ? 0 : 3; // 44100 or 22050 Hz
    static Layer3Spectrum left;
    static Layer3Spectrum right;
    for (int i = 0; i < 576; ++i) {
        left.lines[i] = 1.0f;
        right.lines[i] = i < 4 ? 0.5f : 0.0f;
    }
    left.nonZeroEnd = 576;
    right.nonZeroEnd = 4;
    Layer3GranuleInfo granule{};
    granule.blockType = Layer3BlockType::Normal;
    granule.scalefacCompress = c.scalefacCompress;
    granule.valid = true;
    Layer3ScaleFactors sf{};
    for (int b = 0; b < 21; ++b) {
        sf.longBands[b] = static_cast<std::uint8_t>(c.version == 1 ? 7 : c.slenMax);
        sf.longMax[b] = static_cast<std::uint8_t>(c.slenMax);
    }
    const int sfBand = c.band == 21 ? 20 : c.band;
    sf.longBands[sfBand] = static_cast<std::uint8_t>(c.position);

    Layer3ApplyStereo(left, right, granule, sf, c.modeExtension, c.version, rateRow);
    const int line =
        Layer3Tables()
            .longBounds[static_cast<std::size_t>(rateRow)][static_cast<std::size_t>(c.band)];
    EXPECT_NEAR(left.lines[line], c.left, 1e-6);
    EXPECT_NEAR(right.lines[line], c.right, 1e-6);
    EXPECT_EQ(right.nonZeroEnd, 576);
}

const float kHalfSqrt2 = std::sqrt(0.5f);

INSTANTIATE_TEST_SUITE_P(
    Cases, Layer3Stereo,
    ::testing::Values(
        StereoCase{"Mpeg1Position3Halves", 1, 1, 5, 3, 0, 0, 0.5f, 0.5f},
        StereoCase{"Mpeg1Position0AllRight", 1, 1, 9, 0, 0, 0, 0.0f, 1.0f},
        StereoCase{"Mpeg1Position2", 1, 1, 12, 2, 0, 0,
                   float(std::tan(std::numbers::pi / 6) / (1 + std::tan(std::numbers::pi / 6))),
                   float(1 / (1 + std::tan(std::numbers::pi / 6)))},
        StereoCase{"Mpeg1Position7LeavesTheBand", 1, 1, 5, 7, 0, 0, 1.0f, 0.0f},
        StereoCase{"Mpeg1Position7TakesMiddleSide", 1, 3, 5, 7, 0, 0, kHalfSqrt2, kHalfSqrt2},
        StereoCase{"Mpeg1Band21FollowsBand20", 1, 1, 21, 3, 0, 0, 0.5f, 0.5f},
        StereoCase{"Mpeg1BelowTheRegionIsUntouched", 1, 1, 0, 3, 0, 0, 1.0f, 0.5f},
        StereoCase{"LsfEvenPositionScale1", 2, 1, 5, 6, 7, 1, 1.0f, 0.5f * kHalfSqrt2},
        StereoCase{"LsfOddPositionScale0", 2, 1, 5, 5, 7, 0, float(std::exp2(-0.75)), 1.0f},
        StereoCase{"LsfLargestPositionIsIllegal", 2, 1, 5, 7, 7, 0, 1.0f, 0.0f},
        StereoCase{"LsfIllegalTakesMiddleSide", 2, 3, 5, 15, 15, 1, kHalfSqrt2, kHalfSqrt2},
        StereoCase{"LsfPosition0Copies", 2, 3, 7, 0, 7, 1, 1.0f, 1.0f}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// The band without a scale factor of its own (long 21, short 12 of each window) forming the
// intensity region alone: the right channel has sound up into band 20 (short: band 11 of every
// window), and band 20's (11's) scale factor of the right channel positions band 21 (12), as
// both reference decoders do.
struct LastBandCase {
    const char* name;
    int version;
    bool shortBlock;
    int position;
    int slenMax;          // MPEG-2/2.5: the largest value of band 20's (11's) slen
    int scalefacCompress; // bit 0: intensity_scale (MPEG-2/2.5)
    int modeExtension;
    float left;
    float right;
};

void PrintTo(const LastBandCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3StereoLastBand : public ::testing::TestWithParam<LastBandCase> {
protected:
    static void SetUpTestSuite() { Layer3BuildTables(); }
};

TEST_P(Layer3StereoLastBand, TakesThePositionOfTheBandBelow) {
    const LastBandCase& c = GetParam();
    const int rateRow = c.version == 1 ? 0 : 3; // 44100 or 22050 Hz
    const auto& longBounds = Layer3Tables().longBounds[static_cast<std::size_t>(rateRow)];
    const auto& shortBounds = Layer3Tables().shortBounds[static_cast<std::size_t>(rateRow)];
    static Layer3Spectrum left;
    static Layer3Spectrum right;
    for (int i = 0; i < 576; ++i) {
        left.lines[i] = 1.0f;
        right.lines[i] = 0.0f;
    }
    // Huffman order: the first line of band 20 (long), of band 11 in each window (short); and
    // the first line of the last band in each window.
    int below[3] = {longBounds[20], 0, 0};
    int last[3] = {longBounds[21], 0, 0};
    const int windows = c.shortBlock ? 3 : 1;
    if (c.shortBlock) {
        for (int w = 0; w < 3; ++w) {
            below[w] = 3 * shortBounds[11] + w * (shortBounds[12] - shortBounds[11]);
            last[w] = 3 * shortBounds[12] + w * (shortBounds[13] - shortBounds[12]);
        }
    }
    for (int w = 0; w < windows; ++w) {
        right.lines[below[w]] = 0.5f;
    }
    left.nonZeroEnd = 576;
    right.nonZeroEnd = below[windows - 1] + 1;

    Layer3GranuleInfo granule{};
    granule.blockType = c.shortBlock ? Layer3BlockType::Short : Layer3BlockType::Normal;
    granule.scalefacCompress = c.scalefacCompress;
    granule.valid = true;
    Layer3ScaleFactors sf{};
    sf.longBands[20] = static_cast<std::uint8_t>(c.position);
    sf.longMax[20] = static_cast<std::uint8_t>(c.slenMax);
    for (int w = 0; w < 3; ++w) {
        sf.shortBands[11][w] = static_cast<std::uint8_t>(c.position);
    }
    sf.shortMax[11] = static_cast<std::uint8_t>(c.slenMax);

    Layer3ApplyStereo(left, right, granule, sf, c.modeExtension, c.version, rateRow);
    for (int w = 0; w < windows; ++w) {
        EXPECT_NEAR(left.lines[last[w]], c.left, 1e-6) << "window " << w;
        EXPECT_NEAR(right.lines[last[w]], c.right, 1e-6) << "window " << w;
        // The band below keeps its own channels (or middle/side).
        if (c.modeExtension == 1) {
            EXPECT_EQ(left.lines[below[w]], 1.0f);
            EXPECT_EQ(right.lines[below[w]], 0.5f);
        }
    }
}

const float kTan2 = float(std::tan(std::numbers::pi / 6));

INSTANTIATE_TEST_SUITE_P(
    Cases, Layer3StereoLastBand,
    ::testing::Values(
        LastBandCase{"Mpeg1LongPosition2", 1, false, 2, 0, 0, 1, kTan2 / (1 + kTan2),
                     1 / (1 + kTan2)},
        LastBandCase{"Mpeg1LongPosition7IsNone", 1, false, 7, 0, 0, 1, 1.0f, 0.0f},
        LastBandCase{"Mpeg1LongPosition7WithMiddleSide", 1, false, 7, 0, 0, 3, kHalfSqrt2,
                     kHalfSqrt2},
        LastBandCase{"Mpeg1ShortPosition3", 1, true, 3, 0, 0, 1, 0.5f, 0.5f},
        LastBandCase{"LsfLongPosition5Scale0", 2, false, 5, 7, 0, 1, float(std::exp2(-0.75)), 1.0f},
        LastBandCase{"LsfLongLargestIsNone", 2, false, 7, 7, 0, 1, 1.0f, 0.0f},
        LastBandCase{"LsfShortPosition2Scale1", 2, true, 2, 7, 1, 1, 1.0f, kHalfSqrt2}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace fz::mpa
