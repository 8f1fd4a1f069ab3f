// Layers I and II against libmpg123, with libavcodec's mp1float and mp2float beside it
// (MpaOracleExpectations.h). Tolerance per stream, after the first frame: RMS at most 1 LSB and
// largest absolute difference at most 4 LSB of 16-bit PCM.
// Streams: Layer II from libavcodec's mp2 encoder at the MPEG-1 and MPEG-2 rates, mono and
// stereo, low and high bit rates; Layer I and Layer II frames built here with random
// allocations, scale factors and samples, covering every allocation table, intensity stereo
// (joint stereo with each bound), dual channel, CRC, and MPEG-2.5 rates.
#include "tests/play/MpaOracleExpectations.h"
#include "tests/play/support/MpaFrameBuilder.h"
#include "tests/play/support/MpaOracle.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace fz {
namespace {

using namespace test::mpa;

void ExpectWithinTolerance(const Stream& stream, const std::string& label) {
    ASSERT_GT(stream.frames.size(), 3u) << label;
    int mismatches = -1;
    const Decoded ours = DecodeWithFramzel(stream, &mismatches);
    ASSERT_TRUE(ours.error.empty()) << ours.error;
    EXPECT_EQ(ours.failedFrames, 0) << label;
    EXPECT_EQ(mismatches, 0) << label << ": frame sizes differ from the stream's";
    ExpectMatchesOracles(stream, label, stream.frames.size() - 1);
}

struct EncodedCase {
    const char* name;
    int sampleRate;
    int channels;
    int bitRateKbps;
    Signal signal;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const EncodedCase& c, std::ostream* out) {
    *out << c.name;
}

const EncodedCase kEncodedCases[] = {
    {"Mp2At32kHzMonoLow", 32000, 1, 48, Signal::Tones},
    {"Mp2At32kHzStereoHigh", 32000, 2, 384, Signal::Noise},
    {"Mp2At44kHzMonoHigh", 44100, 1, 192, Signal::Noise},
    {"Mp2At44kHzStereoLow", 44100, 2, 64, Signal::Tones},
    {"Mp2At44kHzStereoMid", 44100, 2, 128, Signal::Clicks},
    {"Mp2At48kHzMonoLow", 48000, 1, 32, Signal::Clicks},
    {"Mp2At48kHzStereoHigh", 48000, 2, 320, Signal::Tones},
    {"Mp2At16kHzMonoLow", 16000, 1, 8, Signal::Tones},
    {"Mp2At16kHzStereoHigh", 16000, 2, 160, Signal::Noise},
    {"Mp2At22kHzMonoHigh", 22050, 1, 144, Signal::Tones},
    {"Mp2At22kHzStereoLow", 22050, 2, 32, Signal::Noise},
    {"Mp2At24kHzMonoLow", 24000, 1, 16, Signal::Noise},
    {"Mp2At24kHzStereoHigh", 24000, 2, 160, Signal::Clicks},
};

class Mp2EncodedTest : public testing::TestWithParam<EncodedCase> {};

TEST_P(Mp2EncodedTest, MatchesTheOracle) {
    const EncodedCase& c = GetParam();
    const Pcm pcm = MakeSignal(c.signal, c.sampleRate, c.channels, 0.6);
    const Stream stream = Encode(pcm, {Encoder::Mp2, c.bitRateKbps});
    ASSERT_FALSE(stream.frames.empty()) << "the mp2 encoder refused " << c.name;
    ExpectWithinTolerance(stream, c.name);
}

INSTANTIATE_TEST_SUITE_P(Layer2, Mp2EncodedTest, testing::ValuesIn(kEncodedCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct BuiltCase {
    const char* name;
    FrameParams params;
    int frames;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const BuiltCase& c, std::ostream* out) {
    *out << c.name;
}

// FrameParams: version, layer, bitRateIndex, sampleRateIndex, mode, modeExtension, crc.
const BuiltCase kBuiltCases[] = {
    {"Layer1At44kHzStereo448k", {1, 1, 14, 0, 0, 0, false}, 24},
    {"Layer1At48kHzMono96kCrc", {1, 1, 3, 1, 3, 0, true}, 24},
    {"Layer1At32kHzDual", {1, 1, 8, 2, 2, 0, false}, 24},
    {"Layer1IntensityBound4", {1, 1, 12, 0, 1, 0, false}, 24},
    {"Layer1IntensityBound8", {1, 1, 12, 1, 1, 1, true}, 24},
    {"Layer1IntensityBound12", {1, 1, 12, 2, 1, 2, false}, 24},
    {"Layer1IntensityBound16", {1, 1, 12, 0, 1, 3, false}, 24},
    {"Layer1Mpeg2At24kHzStereo", {2, 1, 14, 1, 0, 0, false}, 16},
    {"Layer1Mpeg2At16kHzIntensity", {2, 1, 10, 2, 1, 1, false}, 16},
    {"Layer1Mpeg2At22kHzMono", {2, 1, 6, 0, 3, 0, true}, 16},
    {"Layer1Mpeg25At8kHzStereo", {3, 1, 14, 2, 0, 0, false}, 12},
    {"Layer1Mpeg25At11kHzMono", {3, 1, 8, 0, 3, 0, false}, 12},
    {"Layer2TableB2aStereo", {1, 2, 8, 0, 0, 0, false}, 10},
    {"Layer2TableB2aAt48kHzIntensity", {1, 2, 11, 1, 1, 0, false}, 10},
    {"Layer2TableB2bStereo", {1, 2, 14, 0, 0, 0, true}, 10},
    {"Layer2TableB2bIntensityBound8", {1, 2, 14, 2, 1, 1, false}, 10},
    {"Layer2TableB2bIntensityBound16", {1, 2, 13, 0, 1, 3, false}, 10},
    {"Layer2TableB2cStereo", {1, 2, 4, 1, 0, 0, false}, 10},
    {"Layer2TableB2cIntensityBound4", {1, 2, 5, 0, 1, 0, false}, 10},
    {"Layer2TableB2dDual", {1, 2, 6, 2, 2, 0, false}, 10},
    {"Layer2TableB2dIntensityBound12", {1, 2, 6, 2, 1, 2, false}, 10},
    {"Layer2TableB2bMono", {1, 2, 10, 2, 3, 0, false}, 10},
    {"Layer2LsfAt24kHzStereo", {2, 2, 14, 1, 0, 0, false}, 10},
    {"Layer2LsfAt22kHzIntensityBound4", {2, 2, 12, 0, 1, 0, true}, 10},
    {"Layer2LsfAt16kHzIntensityBound16", {2, 2, 9, 2, 1, 3, false}, 10},
    {"Layer2LsfAt24kHzMono", {2, 2, 8, 1, 3, 0, false}, 10},
    {"Layer2Mpeg25At12kHzStereo", {3, 2, 14, 1, 0, 0, false}, 8},
    {"Layer2Mpeg25At8kHzIntensity", {3, 2, 10, 2, 1, 1, false}, 8},
};

class BuiltFramesTest : public testing::TestWithParam<BuiltCase> {};

TEST_P(BuiltFramesTest, MatchesTheOracle) {
    const BuiltCase& c = GetParam();
    const Stream stream = BuildRandomStream(c.params, c.frames, 1234);
    ASSERT_EQ(stream.frames.size(), static_cast<std::size_t>(c.frames));
    ExpectWithinTolerance(stream, c.name);
}

INSTANTIATE_TEST_SUITE_P(Layers1And2, BuiltFramesTest, testing::ValuesIn(kBuiltCases),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace fz
