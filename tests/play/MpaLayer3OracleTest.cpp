// Layer III against libmpg123, with FFmpeg's mp3float beside it (MpaOracleExpectations.h).
// Tolerance per stream, after the first frame: RMS difference ≤ 1 LSB and largest absolute
// difference ≤ 4 LSB of 16-bit PCM.
//
// Encoded streams: libavcodec's libmp3lame at every MPEG-1, MPEG-2 and MPEG-2.5 rate, constant
// and variable bit rate (the latter behind a "Xing" frame), mono, stereo and joint stereo, and
// clicks and bursts that force short blocks; at 24 kHz noise, a sweep and clicks reaching above
// 7 kHz, where long band 18 begins (line 332). Intensity stereo, which no encoder at hand makes:
// frames built by hand (MPEG-1 and MPEG-2/2.5, long, short and mixed blocks, both intensity
// scales, regions reaching the last band); mixed blocks, which no encoder at hand writes either,
// likewise.

#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3Tables.h"
#include "tests/play/MpaLayer3FrameBuilder.h"
#include "tests/play/MpaOracleExpectations.h"
#include "tests/play/support/MpaOracle.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

namespace fz::test::mpa {
namespace {

struct EncodedCase {
    const char* name;
    int sampleRate;
    int channels;
    int bitRateKbps; // constant bit rate, or 0 for VBR with a "Xing" frame
    bool jointStereo;
    Signal signal;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const EncodedCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3EncodedStream : public ::testing::TestWithParam<EncodedCase> {};

TEST_P(Layer3EncodedStream, MatchesTheOracle) {
    const EncodedCase& c = GetParam();
    Pcm pcm = MakeSignal(c.signal, c.sampleRate, c.channels, 0.6, 5);
    EncodeSettings settings;
    settings.encoder = Encoder::Mp3;
    settings.jointStereo = c.jointStereo;
    if (c.bitRateKbps == 0) {
        settings.vbrQuality = 2;
        settings.xingHeader = true;
    } else {
        settings.bitRateKbps = c.bitRateKbps;
    }
    Stream stream = Encode(pcm, settings);
    ASSERT_GT(stream.frames.size(), 5u) << "the encoder refused the settings";

    ExpectMatchesOracles(stream, std::string("layer3 ") + c.name, stream.frames.size() / 2 + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lame, Layer3EncodedStream,
    ::testing::Values(
        EncodedCase{"Mpeg1_44100_JointCbr128", 44100, 2, 128, true, Signal::Tones},
        EncodedCase{"Mpeg1_48000_StereoCbr192", 48000, 2, 192, false, Signal::Noise},
        EncodedCase{"Mpeg1_32000_MonoCbr64", 32000, 1, 64, false, Signal::Tones},
        EncodedCase{"Mpeg1_44100_JointVbrXing", 44100, 2, 0, true, Signal::Noise},
        EncodedCase{"Mpeg1_44100_ClicksShortBlocks", 44100, 2, 160, true, Signal::Clicks},
        EncodedCase{"Mpeg1_32000_MonoClicks", 32000, 1, 96, false, Signal::Clicks},
        EncodedCase{"Mpeg2_22050_JointCbr64", 22050, 2, 64, true, Signal::Tones},
        EncodedCase{"Mpeg2_24000_StereoVbrXing", 24000, 2, 0, false, Signal::Noise},
        // 24 kHz with sound up to 10 kHz: long band 18 begins at line 332 (about 6.9 kHz), where
        // the encoder puts Huffman region boundaries and scale factors change.
        EncodedCase{"Mpeg2_24000_JointCbr64", 24000, 2, 64, true, Signal::Noise},
        EncodedCase{"Mpeg2_24000_JointCbr96Sweep", 24000, 2, 96, true, Signal::Sweep},
        EncodedCase{"Mpeg2_24000_MonoCbr48Sweep", 24000, 1, 48, false, Signal::Sweep},
        EncodedCase{"Mpeg2_24000_StereoCbr128Noise", 24000, 2, 128, false, Signal::Noise},
        EncodedCase{"Mpeg2_24000_MonoVbrXingNoise", 24000, 1, 0, false, Signal::Noise},
        EncodedCase{"Mpeg2_24000_JointCbr80Clicks", 24000, 2, 80, true, Signal::Clicks},
        EncodedCase{"Mpeg2_24000_JointVbrXingSweep", 24000, 2, 0, true, Signal::Sweep},
        EncodedCase{"Mpeg2_16000_MonoCbr32", 16000, 1, 32, false, Signal::Noise},
        EncodedCase{"Mpeg2_22050_ClicksShortBlocks", 22050, 2, 80, true, Signal::Clicks},
        EncodedCase{"Mpeg25_11025_JointCbr32", 11025, 2, 32, true, Signal::Tones},
        EncodedCase{"Mpeg25_12000_MonoVbrXing", 12000, 1, 0, false, Signal::Noise},
        EncodedCase{"Mpeg25_8000_StereoClicks", 8000, 2, 24, false, Signal::Clicks}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Frames built by hand (intensity stereo, mixed blocks). The right channel has sound only in
// its lowest bands, so the bands above take intensity positions from its scale factors; how far
// the left channel's sound reaches, and where the right channel's ends, is the case's `reach`.
enum class Reach {
    Low,          // left up to line 200 (short: 60 per window), right below line 30 (8)
    LastBand,     // left up to the highest decoded line, right below line 30 (8): the region
                  // runs through the band without a scale factor (long 21, short 12)
    LastBandOnly, // left as LastBand, right up into long band 20 (short band 11 of every
                  // window): the region is the last band alone, positioned by band 20 (11)
};

struct IntensityCase {
    const char* name;
    int version;
    int sampleRateIndex;
    int modeExtension; // 1 intensity only, 3 with middle/side
    fz::mpa::Layer3BlockType blockType;
    int intensityScale; // MPEG-2/2.5: bit 0 of the right channel's scalefac_compress
    bool mixedBlock = false;
    Reach reach = Reach::Low;
    Reference reference = Reference::Mpg123;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const IntensityCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3HandBuiltFrames : public ::testing::TestWithParam<IntensityCase> {};

// Where the lines of a granule in Huffman order lie: the band they belong to and their
// frequency index within their window (short blocks) or the granule (long blocks).
struct LineLayout {
    int bandStart[23] = {}; // long: first line of each band; short: first index in a window
    int bandCount = 0;
    bool shortBlocks = false;

    LineLayout(int version, int sampleRateIndex, bool shortBlocks_)
        : shortBlocks(shortBlocks_) {
        const auto row = static_cast<std::size_t>(fz::mpa::SampleRateRow(version, sampleRateIndex));
        bandCount = shortBlocks ? fz::mpa::kShortBands : fz::mpa::kLongBands;
        for (int b = 0; b < bandCount; ++b) {
            const auto width = shortBlocks
                                   ? fz::mpa::kShortBandWidths[row][static_cast<std::size_t>(b)]
                                   : fz::mpa::kLongBandWidths[row][static_cast<std::size_t>(b)];
            bandStart[b + 1] = bandStart[b] + width;
        }
    }
    // First Huffman-order line of `band` (window 0 in short blocks).
    int FirstLine(int band) const { return shortBlocks ? 3 * bandStart[band] : bandStart[band]; }
    // The frequency index of a Huffman-order line (within its window for short blocks).
    int Frequency(int line) const {
        if (!shortBlocks)
            return line;
        int band = 0;
        while (band + 1 < bandCount && 3 * bandStart[band + 1] <= line)
            ++band;
        const int width = bandStart[band + 1] - bandStart[band];
        return bandStart[band] + (line - 3 * bandStart[band]) % width;
    }
};

Stream BuildIntensityStream(const IntensityCase& c, int frames) {
    std::mt19937 random(17);
    const bool lsf = c.version != 1;
    const bool shortBlocks = c.blockType == fz::mpa::Layer3BlockType::Short;
    const LineLayout layoutOfLines(c.version, c.sampleRateIndex, shortBlocks && !c.mixedBlock);
    // The decoder leaves out subband 31: frequency indices from 558 (long) or 186 (short) on.
    // Long blocks stop at 550, below the lines that alias reduction mixes into subband 31.
    const int decodedTop = shortBlocks ? 186 : 550;
    const bool wide = c.reach != Reach::Low;
    std::vector<std::uint8_t> bytes;
    for (int f = 0; f < frames; ++f) {
        Layer3FrameSpec layout;
        layout.version = c.version;
        layout.sampleRateIndex = c.sampleRateIndex;
        layout.mode = 1;
        layout.modeExtension = c.modeExtension;
        for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
            for (int ch = 0; ch < 2; ++ch) {
                Layer3ChannelSpec& channel = layout.channel[gr][ch];
                channel.blockType = c.blockType;
                channel.mixedBlock = c.mixedBlock;
                channel.globalGain = 140 + static_cast<int>(random() % 20);
                channel.subblockGain[1] = shortBlocks ? 1 : 0;
                if (lsf) {
                    // Normal rule: sfc 303 gives slen 3, 3, 3, 3. Right channel: isfc 129
                    // gives slen 3, 3, 3, 0 (13818-3 2.4.3.2).
                    channel.scalefacCompress = ch == 0 ? 303 : 2 * 129 + c.intensityScale;
                } else {
                    channel.scalefacCompress = ch == 0 ? 9 : 15; // slen 2/2, 4/3
                }
                // MPEG-1: positions 0..7 (7 = none). MPEG-2/2.5: every position but the
                // largest of the band's slen, which 13818-3 makes illegal and FFmpeg takes
                // as a position (checked by hand in the stereo tests).
                FillScaleFactors(channel, c.version, lsf && ch == 1,
                                 static_cast<unsigned>(random()), lsf ? 6 : 7);
                int lines = 0;
                if (ch == 0) {
                    lines = wide ? 576 : shortBlocks ? 3 * 60 : 200;
                } else if (c.reach == Reach::LastBandOnly) {
                    lines = layoutOfLines.FirstLine(layoutOfLines.bandCount - 1);
                } else {
                    lines = shortBlocks ? 3 * 8 : 30;
                }
                // Wide spectra use small values so that the frame holds them.
                const int span = wide ? 3 : 9;
                for (int i = 0; i < lines; ++i) {
                    if (layoutOfLines.Frequency(i) < decodedTop) {
                        channel.values[i] = static_cast<int>(random() % span) - span / 2;
                    }
                }
                if (ch == 1 && c.reach == Reach::LastBandOnly) {
                    // A non-zero line in the band below the last one, in every window.
                    const int below = layoutOfLines.bandCount - 2;
                    const int width =
                        layoutOfLines.bandStart[below + 1] - layoutOfLines.bandStart[below];
                    for (int w = 0; w < (shortBlocks ? 3 : 1); ++w) {
                        channel.values[layoutOfLines.FirstLine(below) + w * width] = 1;
                    }
                }
            }
        }
        std::vector<std::uint8_t> frame = BuildLayer3Frame(layout);
        if (frame.empty()) {
            return {};
        }
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return MakeStream(std::move(bytes));
}

TEST_P(Layer3HandBuiltFrames, MatchesTheOracle) {
    const IntensityCase& c = GetParam();
    Stream stream = BuildIntensityStream(c, 8);
    ASSERT_EQ(stream.frames.size(), 8u) << "the main data did not fit";
    ExpectMatchesOracles(stream, std::string("layer3 hand-built ") + c.name, 6, c.reference);
}

INSTANTIATE_TEST_SUITE_P(
    HandBuilt, Layer3HandBuiltFrames,
    ::testing::Values(
        IntensityCase{"Mpeg1_44100_Long", 1, 0, 1, fz::mpa::Layer3BlockType::Normal, 0},
        IntensityCase{"Mpeg1_48000_LongWithMiddleSide", 1, 1, 3, fz::mpa::Layer3BlockType::Normal,
                      0},
        IntensityCase{"Mpeg1_44100_Short", 1, 0, 1, fz::mpa::Layer3BlockType::Short, 0},
        IntensityCase{"Mpeg2_22050_LongScale0", 2, 0, 1, fz::mpa::Layer3BlockType::Normal, 0},
        IntensityCase{"Mpeg2_24000_LongScale1MiddleSide", 2, 1, 3, fz::mpa::Layer3BlockType::Normal,
                      1},
        IntensityCase{"Mpeg2_16000_ShortScale1", 2, 2, 1, fz::mpa::Layer3BlockType::Short, 1},
        IntensityCase{"Mpeg25_11025_Long", 3, 0, 1, fz::mpa::Layer3BlockType::Normal, 0},
        // Mixed blocks (no encoder at hand writes them): without and with intensity stereo.
        IntensityCase{"Mpeg1_44100_MixedPlainStereo", 1, 0, 0, fz::mpa::Layer3BlockType::Short, 0,
                      true},
        IntensityCase{"Mpeg1_32000_MixedIntensity", 1, 2, 1, fz::mpa::Layer3BlockType::Short, 0,
                      true},
        IntensityCase{"Mpeg2_22050_MixedMiddleSide", 2, 0, 2, fz::mpa::Layer3BlockType::Short, 0,
                      true},
        // MPEG-2/2.5 mixed blocks with intensity stereo: libmpg123 differs here from FFmpeg and
        // from us by tens of LSB, also with every intensity position alike, while FFmpeg and we
        // agree on 13818-3's layout (long bands 0..5, then short bands 3..12 per window);
        // FFmpeg is the reference of these frames.
        IntensityCase{"Mpeg2_24000_MixedIntensity", 2, 1, 1, fz::mpa::Layer3BlockType::Short, 1,
                      true, Reach::Low, Reference::Ffmpeg},
        IntensityCase{"Mpeg2_22050_MixedIntensityLastBand", 2, 0, 1,
                      fz::mpa::Layer3BlockType::Short, 0, true, Reach::LastBand, Reference::Ffmpeg},
        // Intensity regions that reach the band without a scale factor of its own (long 21,
        // short 12), or consist of it alone.
        IntensityCase{"Mpeg1_44100_LongLastBand", 1, 0, 1, fz::mpa::Layer3BlockType::Normal, 0,
                      false, Reach::LastBand},
        IntensityCase{"Mpeg1_48000_LongLastBandOnlyMiddleSide", 1, 1, 3,
                      fz::mpa::Layer3BlockType::Normal, 0, false, Reach::LastBandOnly},
        IntensityCase{"Mpeg1_44100_LongLastBandOnly", 1, 0, 1, fz::mpa::Layer3BlockType::Normal, 0,
                      false, Reach::LastBandOnly},
        IntensityCase{"Mpeg1_44100_ShortLastBand", 1, 0, 1, fz::mpa::Layer3BlockType::Short, 0,
                      false, Reach::LastBand},
        IntensityCase{"Mpeg1_32000_ShortLastBandOnly", 1, 2, 1, fz::mpa::Layer3BlockType::Short, 0,
                      false, Reach::LastBandOnly},
        IntensityCase{"Mpeg1_44100_MixedLastBand", 1, 0, 1, fz::mpa::Layer3BlockType::Short, 1,
                      true, Reach::LastBand},
        IntensityCase{"Mpeg2_22050_LongLastBand", 2, 0, 1, fz::mpa::Layer3BlockType::Normal, 0,
                      false, Reach::LastBand},
        IntensityCase{"Mpeg2_24000_LongLastBandOnlyScale1", 2, 1, 1,
                      fz::mpa::Layer3BlockType::Normal, 1, false, Reach::LastBandOnly},
        IntensityCase{"Mpeg2_16000_ShortLastBandMiddleSide", 2, 2, 3,
                      fz::mpa::Layer3BlockType::Short, 0, false, Reach::LastBand},
        IntensityCase{"Mpeg2_22050_ShortLastBandOnlyScale1", 2, 0, 1,
                      fz::mpa::Layer3BlockType::Short, 1, false, Reach::LastBandOnly},
        IntensityCase{"Mpeg25_12000_LongLastBandOnly", 3, 1, 1, fz::mpa::Layer3BlockType::Normal, 0,
                      false, Reach::LastBandOnly}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace fz::test::mpa
