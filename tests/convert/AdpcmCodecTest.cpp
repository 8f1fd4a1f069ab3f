#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/convert/AdpcmTables.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using fz::AdpcmDecode;
using fz::AdpcmEncodeBlocks;
using fz::AdpcmEncodedSize;
using fz::AdpcmState;

std::vector<std::uint8_t> Encode(const std::vector<std::int16_t>& samples, AdpcmState& state) {
    // One guard byte past the computed size shows that the encoder stays inside it.
    const std::size_t size = AdpcmEncodedSize(static_cast<int>(samples.size()));
    std::vector<std::uint8_t> out(size + 1, 0xA5);
    AdpcmEncodeBlocks(samples.data(), out.data(), static_cast<int>(samples.size()), &state, 1);
    EXPECT_EQ(out.back(), 0xA5) << "wrote past " << size << " bytes";
    out.pop_back();
    return out;
}

// The predictor the encoder holds after each sample of `samples`, from state (0, 0): the state
// left by encoding every prefix. Independent of the decoder.
std::vector<std::int16_t> EncoderPredictors(const std::vector<std::int16_t>& samples) {
    std::vector<std::int16_t> trace;
    std::vector<std::uint8_t> scratch(AdpcmEncodedSize(static_cast<int>(samples.size())));
    for (int n = 1; n <= static_cast<int>(samples.size()); ++n) {
        AdpcmState state;
        AdpcmEncodeBlocks(samples.data(), scratch.data(), n, &state, 1);
        trace.push_back(state.predictor);
    }
    return trace;
}

// The codes of one block (504 at most), low nibble first.
std::vector<int> BlockCodes(const std::uint8_t* block, int codeCount) {
    std::vector<int> codes;
    for (int k = 0; k < codeCount; ++k) {
        const std::uint8_t byte = block[4 + k / 2];
        codes.push_back((k & 1) ? byte >> 4 : byte & 0x0F);
    }
    return codes;
}

// A test signal with quiet and loud passages, fast edges and full-scale clipping.
std::vector<std::int16_t> TestSignal(int count) {
    std::vector<std::int16_t> samples;
    std::uint32_t noise = 12345;
    for (int n = 0; n < count; ++n) {
        noise = noise * 1103515245u + 12345u;
        double v = 9000 * std::sin(n * 0.05) + 4000 * std::sin(n * 0.9) +
                   static_cast<double>(static_cast<int>(noise >> 16) % 2001 - 1000);
        if (n % 700 > 600)
            v = (n % 4 < 2) ? 40000 : -40000;
        if (n % 700 > 650)
            v = 0;
        samples.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
    }
    return samples;
}

std::vector<int> JsonIntArray(const std::string& json, const std::string& key) {
    std::smatch match;
    const std::regex pattern("\"" + key + "\"\\s*:\\s*\\[([^\\]]*)\\]");
    std::vector<int> values;
    if (!std::regex_search(json, match, pattern))
        return values;
    const std::string list = match[1];
    const std::regex number("-?[0-9]+");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), number);
         it != std::sregex_iterator(); ++it)
        values.push_back(std::stoi(it->str()));
    return values;
}

TEST(AdpcmTablesTest, MatchTheStandardsData) {
    const auto dir = fz::test::StandardDataDir();
    if (dir.empty())
        GTEST_SKIP() << "the standards' data folder is not at hand";
    const std::string json = fz::test::ReadFile(dir / "ima_adpcm.json");
    const std::vector<int> steps = JsonIntArray(json, "step_size");
    const std::vector<int> adjust = JsonIntArray(json, "index_adjust");
    ASSERT_EQ(steps.size(), fz::kAdpcmStepSizes.size());
    ASSERT_EQ(adjust.size(), fz::kAdpcmIndexAdjust.size());
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(fz::kAdpcmStepSizes[i], steps[i]) << i;
    for (std::size_t i = 0; i < adjust.size(); ++i)
        EXPECT_EQ(fz::kAdpcmIndexAdjust[i], adjust[i]) << i;
}

TEST(AdpcmEncoderTest, LaysOutFullAndPartialBlocks) {
    const std::vector<std::int16_t> signal = TestSignal(507);
    struct Case {
        int count;
        std::size_t bytes;
    };
    for (const Case& c :
         {Case{1, 4}, Case{2, 5}, Case{3, 5}, Case{505, 256}, Case{506, 260}, Case{507, 261}}) {
        AdpcmState state;
        const std::vector<std::int16_t> input(signal.begin(), signal.begin() + c.count);
        const std::vector<std::uint8_t> out = Encode(input, state);
        ASSERT_EQ(out.size(), c.bytes) << c.count;
        EXPECT_EQ(static_cast<std::int16_t>(out[0] | out[1] << 8), signal[0]);
        EXPECT_EQ(out[2], 0) << "the writer's start index";
        EXPECT_EQ(out[3], 0);
        if (c.count == 2 || c.count == 507) {
            EXPECT_EQ(out.back() >> 4, 0) << "an odd number of codes ends in a high nibble 0";
        }
    }

    // The second block's header: its first sample exactly, the index carried over, then 0.
    AdpcmState state;
    const std::vector<std::uint8_t> out = Encode(signal, state);
    const std::vector<std::int16_t> first505(signal.begin(), signal.begin() + 505);
    AdpcmState afterFirst;
    Encode(first505, afterFirst);
    EXPECT_EQ(static_cast<std::int16_t>(out[256] | out[257] << 8), signal[505]);
    EXPECT_EQ(out[258], afterFirst.index);
    EXPECT_EQ(out[259], 0);
    EXPECT_EQ(state.predictor, EncoderPredictors(signal).back());
}

TEST(AdpcmEncoderTest, TakesEveryStrideSample) {
    const std::vector<std::int16_t> left = TestSignal(600);
    std::vector<std::int16_t> interleaved;
    for (std::int16_t s : left) {
        interleaved.push_back(s);
        interleaved.push_back(static_cast<std::int16_t>(-s / 2));
    }
    AdpcmState plain;
    const std::vector<std::uint8_t> expected = Encode(left, plain);
    AdpcmState strided;
    std::vector<std::uint8_t> out(expected.size());
    AdpcmEncodeBlocks(interleaved.data(), out.data(), 600, &strided, 2);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(strided.predictor, plain.predictor);
    EXPECT_EQ(strided.index, plain.index);
}

TEST(AdpcmEncoderTest, ConstantInputSettlesOnTheSample) {
    // From the writer's start state (0, 0) every code is 0 and the index stays 0.
    {
        AdpcmState state;
        const std::vector<std::uint8_t> out = Encode(std::vector<std::int16_t>(505, 1000), state);
        for (std::size_t i = 4; i < out.size(); ++i)
            ASSERT_EQ(out[i], 0) << i;
        EXPECT_EQ(state.predictor, 1000);
        EXPECT_EQ(state.index, 0);
    }
    // From index 88 the step is far too large: each code is 0 or 8 (sign only), the predictor
    // hops around the sample while the index falls by one per code, down to 0, and then rests
    // on the sample. Worked out by hand from the algorithm for the first codes.
    AdpcmState state{0, 88};
    const std::vector<std::uint8_t> out = Encode(std::vector<std::int16_t>(505, 1000), state);
    EXPECT_EQ(out[2], 88);
    const std::vector<int> codes = BlockCodes(out.data(), 504);
    const std::vector<int> firstCodes(codes.begin(), codes.begin() + 12);
    EXPECT_EQ(firstCodes, (std::vector<int>{0, 8, 8, 0, 8, 0, 0, 8, 8, 0, 0, 8}));
    for (int k = 0; k < 87; ++k)
        ASSERT_TRUE(codes[static_cast<std::size_t>(k)] == 0 ||
                    codes[static_cast<std::size_t>(k)] == 8)
            << k;
    for (std::size_t k = 100; k < codes.size(); ++k)
        ASSERT_EQ(codes[k], 0) << k;
    EXPECT_EQ(state.predictor, 1000);
    EXPECT_EQ(state.index, 0);

    AdpcmState high{0, 88};
    std::vector<std::uint8_t> scratch(8);
    const std::int16_t four[] = {1000, 1000, 1000, 1000};
    AdpcmEncodeBlocks(four, scratch.data(), 4, &high, 1);
    EXPECT_EQ(high.predictor, -2014) << "1000 + 4095, - 3724, - 3385";
    EXPECT_EQ(high.index, 85);
}

TEST(AdpcmEncoderTest, PredictorSaturatesAtBothEndsWithoutWrapping) {
    // -32768 then full scale up: the predictor climbs and stops at 32767; a code 0 there
    // still adds step / 8, which the limit takes away again.
    std::vector<std::int16_t> up(40, 32767);
    up[0] = -32768;
    const std::vector<std::int16_t> rising = EncoderPredictors(up);
    const std::vector<std::int16_t> expectedRise = {-32768, -32757, -32727, -32664, -32528,
                                                    -32235, -31604, -30247, -27337, -21101,
                                                    -7729,  20937,  32767};
    EXPECT_EQ(std::vector<std::int16_t>(rising.begin(), rising.begin() + 13), expectedRise);
    for (std::size_t k = 12; k < rising.size(); ++k)
        ASSERT_EQ(rising[k], 32767) << k;

    // 32767 then full scale down, with a large index left by the climb: at the bottom the
    // limit holds -32768, but every code 0 lifts the predictor by step / 8 above it, so it
    // oscillates there (-32768, a step above, back) while the index slowly falls.
    std::vector<std::int16_t> down(41, -32768);
    down[0] = 32767;
    const std::vector<std::int16_t> falling = EncoderPredictors(down);
    const std::vector<std::int16_t> expectedFall = {
        32767,  32756,  32726,  32663,  32527,  32234,  31603,  30246,  27336,  21100,  7728,
        -20938, -32768, -29044, -32429, -32768, -29970, -32513, -32768, -30666, -32577, -32768,
        -31189, -32624, -32768, -31582, -32660, -32768, -31877, -32687, -32768, -32099, -32707,
        -32768, -32265, -32722, -32768, -32390, -32733, -32768, -32484};
    EXPECT_EQ(falling, expectedFall);
}

TEST(AdpcmDecoderTest, ReadsWholeBytesAndIgnoresTheLastHighNibbleOfAnOddCount) {
    for (std::uint8_t high : {0x00, 0x70, 0xF0}) {
        // Exactly two bytes on the heap: a read of a third is caught by the sanitizer.
        auto codes = std::make_unique<std::uint8_t[]>(2);
        codes[0] = 0x74; // 4 (+step), then 7 (+step + step/2 + step/4, + step/8)
        codes[1] = static_cast<std::uint8_t>(0x0C | high);
        AdpcmState state{100, 10};
        std::int16_t out[3] = {};
        AdpcmDecode(codes.get(), out, 3, &state);
        // Worked by hand: step 19 -> 100 + 2 + 19 = 121, index 12; step 23 -> 121 + 2 + 23 +
        // 11 + 5 = 162, index 20; code 12 = -(step 50 + 50/8): 162 - 56 = 106, index 22.
        EXPECT_EQ(out[0], 121);
        EXPECT_EQ(out[1], 162);
        EXPECT_EQ(out[2], 106);
        EXPECT_EQ(state.predictor, 106);
        EXPECT_EQ(state.index, 22);
    }
}

TEST(AdpcmDecoderTest, LimitsThePredictorAndAnIndexOutOfRange) {
    const std::uint8_t up[] = {0x77, 0x77};
    AdpcmState state{32000, 88};
    std::int16_t out[4] = {};
    AdpcmDecode(up, out, 4, &state);
    for (std::int16_t s : out)
        EXPECT_EQ(s, 32767);
    EXPECT_EQ(state.index, 88);

    const std::uint8_t down[] = {0xFF};
    AdpcmState low{-32000, 100}; // a damaged index is taken as 88
    AdpcmDecode(down, out, 2, &low);
    EXPECT_EQ(out[0], -32768);
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(low.index, 88);
    AdpcmState negative{0, -5}; // and a negative one as 0
    const std::uint8_t zero[] = {0x00};
    AdpcmDecode(zero, out, 1, &negative);
    EXPECT_EQ(out[0], 0) << "step 7 / 8 adds nothing";
    EXPECT_EQ(negative.index, 0);
}

TEST(AdpcmDecoderTest, ReproducesTheEncodersPredictorsFromEachBlockHeader) {
    const std::vector<std::int16_t> signal = TestSignal(505 * 3 + 200);
    AdpcmState state;
    const std::vector<std::uint8_t> encoded = Encode(signal, state);
    const std::vector<std::int16_t> expected = EncoderPredictors(signal);

    std::size_t sample = 0;
    for (std::size_t block = 0; block < encoded.size(); block += 256) {
        const std::uint8_t* header = encoded.data() + block;
        AdpcmState fromHeader{static_cast<std::int16_t>(header[0] | header[1] << 8),
                              static_cast<std::int8_t>(header[2])};
        const int codes = static_cast<int>(std::min<std::size_t>(504, signal.size() - sample - 1));
        std::vector<std::int16_t> decoded(static_cast<std::size_t>(codes));
        EXPECT_EQ(fromHeader.predictor, expected[sample]);
        AdpcmDecode(header + 4, decoded.data(), codes, &fromHeader);
        for (int k = 0; k < codes; ++k)
            ASSERT_EQ(decoded[static_cast<std::size_t>(k)],
                      expected[sample + 1 + static_cast<std::size_t>(k)])
                << "sample " << sample + 1 + static_cast<std::size_t>(k);
        sample += 505;
    }
}

} // namespace
