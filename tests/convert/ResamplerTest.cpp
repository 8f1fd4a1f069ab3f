#include "fzctrl/convert/Resampler.h"
#include "fzctrl/convert/ResamplerTables.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using fz::ResamplerProcess;
using fz::ResamplerSetup;
using fz::ResamplerState;

std::unique_ptr<ResamplerState> MakeResampler(int inputRate, int outputRate) {
    auto state = std::make_unique<ResamplerState>();
    fz::ResamplerSize(state.get());
    EXPECT_EQ(ResamplerSetup(state.get(), inputRate, outputRate, 1), 0);
    return state;
}

// Full-scale white noise from a 32-bit linear congruential generator.
std::vector<std::int16_t> Noise(int count, std::uint32_t& seed) {
    std::vector<std::int16_t> out;
    for (int n = 0; n < count; ++n) {
        seed = seed * 1103515245u + 12345u;
        out.push_back(static_cast<std::int16_t>(static_cast<int>(seed >> 16) - 32768));
    }
    return out;
}

std::uint64_t Fnv1a(const std::vector<std::int16_t>& samples) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::int16_t s : samples) {
        for (int shift : {0, 8}) {
            hash ^= (static_cast<std::uint16_t>(s) >> shift) & 0xFF;
            hash *= 0x100000001b3u;
        }
    }
    return hash;
}

// Resamples `blocks` blocks of `count` samples each, appending the output; the per-block output
// counts go to `counts`.
std::vector<std::int16_t> ResampleBlocks(ResamplerState* state,
                                         const std::vector<std::int16_t>& input, int count,
                                         int gainIndex, std::vector<int>* counts = nullptr) {
    std::vector<std::int16_t> all;
    std::vector<std::int16_t> out(static_cast<std::size_t>(count) * 4 + 16);
    for (std::size_t start = 0; start + static_cast<std::size_t>(count) <= input.size();
         start += static_cast<std::size_t>(count)) {
        const int produced =
            ResamplerProcess(state, input.data() + start, out.data(), count, gainIndex);
        EXPECT_GE(produced, 0);
        if (produced < 0)
            break;
        all.insert(all.end(), out.begin(), out.begin() + produced);
        if (counts)
            counts->push_back(produced);
    }
    return all;
}

double BesselI0(double x) {
    double sum = 1;
    double u = 1;
    for (int n = 1;; ++n) {
        u *= x / 2 / n;
        const double term = u * u;
        if (term < 1e-21 * sum)
            break;
        sum += term;
    }
    return sum;
}

TEST(ResamplerTablesTest, FollowTheirConstructionRules) {
    const double f = 0.45;
    const double pi = std::acos(-1.0);
    std::vector<double> c(1536);
    c[0] = 2 * f;
    for (int i = 1; i < 1536; ++i) {
        const double x = i / 256.0;
        c[static_cast<std::size_t>(i)] = std::sin(2 * pi * f * x) / (pi * x) *
                                         BesselI0(9 * std::sqrt(1 - std::pow(i / 1535.0, 2))) /
                                         BesselI0(9);
    }
    const double s = 32767 / c[0];
    for (std::size_t i = 0; i < c.size(); ++i)
        ASSERT_EQ(fz::kResamplerCoefficients[i], static_cast<std::int16_t>(c[i] * s + 0.5)) << i;

    const std::vector<int> start = {32767, 32766, 32764, 32760};
    for (std::size_t i = 0; i < start.size(); ++i)
        EXPECT_EQ(fz::kResamplerCoefficients[i], start[i]);
    EXPECT_EQ(fz::kResamplerCoefficients.back(), -1);
    int crossings = 0;
    for (std::size_t i = 1; i < 1536; ++i)
        crossings += (fz::kResamplerCoefficients[i - 1] > 0) != (fz::kResamplerCoefficients[i] > 0);
    EXPECT_EQ(crossings, 5) << "a zero crossing about every 284.4 entries";

    for (std::size_t i = 0; i + 1 < 1536; ++i)
        ASSERT_EQ(fz::kResamplerDeltas[i],
                  fz::kResamplerCoefficients[i + 1] - fz::kResamplerCoefficients[i]);
    EXPECT_EQ(fz::kResamplerDeltas.back(), 1);

    for (int k = -24; k <= 24; ++k)
        EXPECT_EQ(fz::kResamplerGains[static_cast<std::size_t>(k + 24)],
                  static_cast<std::int32_t>(4096 * std::pow(10.0, k / 40.0)))
            << k;
}

TEST(ResamplerSetupTest, FillsTheFixedPointState) {
    struct Case {
        int inputRate;
        std::uint32_t ratio, timeStep, tableStep;
        std::uint16_t baseScale, offset;
    };
    // Worked out from the setup rules (ratio = out x 2^24 / in, and so on).
    for (const Case& c : {Case{22050, 6086971, 2890138, 380436, 2381, 29},
                          Case{44100, 3043485, 5780275, 190218, 1191, 48},
                          Case{11025, 12173943, 1445069, 760871, 4763, 19},
                          Case{48000, 2796202, 6291456, 174763, 1094, 52},
                          Case{96000, 1398101, 12582912, 87381, 547, 94},
                          Case{4000, 33554432, 524288, 1048576, 6564, 17},
                          Case{8000, 16777216, 1048576, 1048576, 6564, 17}}) {
        auto state = MakeResampler(c.inputRate, 8000);
        const fz::ResamplerFilterState& f = state->filterState;
        EXPECT_EQ(state->filter, &state->filterState);
        EXPECT_EQ(f.ratio, c.ratio) << c.inputRate;
        EXPECT_EQ(f.timeStep, c.timeStep) << c.inputRate;
        EXPECT_EQ(f.tableStep, c.tableStep) << c.inputRate;
        EXPECT_EQ(f.baseScale, c.baseScale) << c.inputRate;
        EXPECT_EQ(f.offset, c.offset) << c.inputRate;
        EXPECT_EQ(f.kept, 2 * c.offset) << c.inputRate;
        EXPECT_EQ(f.time, std::uint32_t{c.offset} << 20) << c.inputRate;
        EXPECT_EQ(f.wingLength, 1536);
        EXPECT_EQ(f.filterLength, 13);
    }
}

TEST(ResamplerSetupTest, RefusesRatesItCannotServe) {
    auto state = std::make_unique<ResamplerState>();
    EXPECT_EQ(fz::ResamplerSize(state.get()), static_cast<int>(sizeof(ResamplerState)));
    for (auto [in, out, channels] :
         {std::tuple{0, 8000, 1}, std::tuple{22050, 0, 1}, std::tuple{-8000, 8000, 1},
          std::tuple{22050, 8000, 2}, std::tuple{2000000, 8000, 1}, std::tuple{1, 8000, 1}}) {
        EXPECT_EQ(ResamplerSetup(state.get(), in, out, channels), -1) << in << "->" << out;
        EXPECT_EQ(state->filterState.offset, 0) << "a refused setup leaves the state alone";
    }
    EXPECT_EQ(ResamplerSetup(state.get(), 1152000, 8000, 1), 0) << "144:1 still fits";
    EXPECT_EQ(ResamplerSetup(state.get(), 32, 8000, 1), 0) << "250:1 up still fits";
}

TEST(ResamplerProcessTest, DownsamplesBitExactlyAndCarriesTheFraction) {
    // 22050 -> 8000 in blocks of 1024: 371.5 output samples per block on average, the
    // fraction carried in the time; the outputs are those of the algorithm worked through by
    // hand for this noise (first samples and a hash of all 2973).
    auto state = MakeResampler(22050, 8000);
    std::uint32_t seed = 1;
    const std::vector<std::int16_t> input = Noise(8 * 1024, seed);
    std::vector<int> counts;
    const std::vector<std::int16_t> out = ResampleBlocks(state.get(), input, 1024, 0, &counts);
    EXPECT_EQ(counts, (std::vector<int>{372, 372, 371, 372, 371, 372, 371, 372}));
    ASSERT_EQ(out.size(), 2973u);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 8),
              (std::vector<std::int16_t>{0, 0, 0, 0, 0, -1, -7, 75}));
    EXPECT_EQ(std::vector<std::int16_t>(out.begin() + 371, out.begin() + 379),
              (std::vector<std::int16_t>{9713, 4189, 7685, -3581, -5442, -12124, 2584, 1867}));
    EXPECT_EQ(Fnv1a(out), 0xa3b7f72ccf4377a7u);
    EXPECT_EQ(state->produced, 372);
    EXPECT_EQ(state->blockLength, 1024);

    // Over many blocks nothing is lost: the instants Xoff + k x time step lying before the
    // end of the input.
    std::vector<int> many;
    auto again = MakeResampler(22050, 8000);
    std::uint32_t seed2 = 5;
    ResampleBlocks(again.get(), Noise(200 * 1024, seed2), 1024, 0, &many);
    long total = 0;
    for (int n : many)
        total += n;
    const std::uint64_t timeStep = again->filterState.timeStep;
    EXPECT_EQ(static_cast<std::uint64_t>(total),
              ((std::uint64_t{200 * 1024} << 20) + timeStep - 1) / timeStep);
}

TEST(ResamplerProcessTest, MatchesTheAlgorithmAtOtherRatiosAndGains) {
    {
        // Up-sampling 4000 -> 8000, gain index -6: the table is stepped at the unit rate.
        auto state = MakeResampler(4000, 8000);
        std::uint32_t seed = 7;
        const std::vector<std::int16_t> out =
            ResampleBlocks(state.get(), Noise(3000, seed), 1000, -6);
        EXPECT_EQ(out.size(), 6000u);
        EXPECT_EQ(Fnv1a(out), 0xe5ba8cc25241db6du);
    }
    {
        // 6:1, the longest block the history holds, gain index 3.
        auto state = MakeResampler(48000, 8000);
        std::uint32_t seed = 9;
        const std::vector<std::int16_t> out =
            ResampleBlocks(state.get(), Noise(3 * 1944, seed), 1944, 3);
        EXPECT_EQ(out.size(), 972u);
        EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 6),
                  (std::vector<std::int16_t>{0, 0, 0, -1, -11, 47}));
        EXPECT_EQ(Fnv1a(out), 0xdcca2ab53e3fd6c4u);
    }
}

TEST(ResamplerProcessTest, ConstantInputComesOutAtAbout089) {
    // The sum of the taps x 16 x scale / 2^32 for a constant: about 0.89 at every ratio.
    for (int rate : {22050, 44100, 11025, 4000}) {
        auto state = MakeResampler(rate, 8000);
        const std::vector<std::int16_t> out =
            ResampleBlocks(state.get(), std::vector<std::int16_t>(3 * 1024, 10000), 1024, 0);
        for (std::size_t n = out.size() / 2; n < out.size(); ++n) {
            ASSERT_GE(out[n], 8890) << rate << " Hz, sample " << n;
            ASSERT_LE(out[n], 8910) << rate << " Hz, sample " << n;
        }
    }
}

TEST(ResamplerProcessTest, LoudInputNeedsSixtyFourBitsAndSaturates) {
    // Each tap product of a full-scale sample exceeds 32 bits, and so does (sum x 4) x scale
    // once the gain is raised: 32767 x 0.89 stays positive, and with +12 dB it saturates.
    struct Case {
        std::int16_t level;
        int gainIndex;
        std::int16_t low, high;
    };
    for (const Case& c : {Case{32767, 0, 29178, 29179}, Case{32767, 24, 32767, 32767},
                          Case{-32768, 24, -32768, -32768}}) {
        auto state = MakeResampler(44100, 8000);
        const std::vector<std::int16_t> out = ResampleBlocks(
            state.get(), std::vector<std::int16_t>(3 * 1024, c.level), 1024, c.gainIndex);
        for (std::size_t n = 300; n < out.size(); ++n) {
            ASSERT_GE(out[n], c.low) << c.level << " gain " << c.gainIndex << " sample " << n;
            ASSERT_LE(out[n], c.high) << c.level << " gain " << c.gainIndex << " sample " << n;
        }
    }
}

TEST(ResamplerProcessTest, EqualRatesOnlyApplyTheGainAndAreNeverRefused) {
    auto state = MakeResampler(8000, 8000);
    std::uint32_t seed = 3;
    const std::vector<std::int16_t> input = Noise(5000, seed);
    std::vector<std::int16_t> out(5000);
    EXPECT_EQ(ResamplerProcess(state.get(), input.data(), out.data(), 5000, 0), 5000);
    EXPECT_EQ(out, input);

    // (gain x s) >> 12 rounds towards minus infinity and saturates; gain indices are limited.
    struct Case {
        int gainIndex;
        std::int16_t in, expected;
    };
    for (const Case& c : {Case{24, -1, -4}, Case{24, 1, 3}, Case{24, 10000, 32767},
                          Case{24, -10000, -32768}, Case{99, -1, -4}, Case{-24, 1000, 250},
                          Case{-24, -1, -1}, Case{-99, 1000, 250}, Case{1, -32768, -32768}}) {
        std::vector<std::int16_t> samples = {c.in, c.in, c.in};
        std::vector<std::int16_t> other(3, 7);
        EXPECT_EQ(ResamplerProcess(state.get(), samples.data(), other.data(), 3, c.gainIndex), 3);
        EXPECT_EQ(other[2], c.expected) << c.in << " at gain index " << c.gainIndex;
        EXPECT_EQ(samples[0], c.in) << "another output buffer leaves the input alone";
        EXPECT_EQ(ResamplerProcess(state.get(), samples.data(), samples.data(), 3, c.gainIndex), 3);
        EXPECT_EQ(samples[1], c.expected) << "in place";
    }
}

TEST(ResamplerProcessTest, RefusesBlocksTheHistoryCannotHold) {
    struct Case {
        int inputRate;
        int accepted; // the longest block taken
    };
    // 1944 samples up to 6:1 (Xoff 52, 104 carried); beyond, what the carried samples leave.
    for (const Case& c :
         {Case{22050, 1944}, Case{48000, 1944}, Case{96000, 2048 - 188}, Case{4000, 1944}}) {
        auto state = MakeResampler(c.inputRate, 8000);
        std::uint32_t seed = 11;
        const std::vector<std::int16_t> input = Noise(2100, seed);
        std::vector<std::int16_t> out(4 * 2100, 0x5A5A);
        // The second channel's history lies right after the first: it must never change.
        std::memset(state->filterState.history[1], 0x3C, sizeof(state->filterState.history[1]));
        const ResamplerState before = *state;

        EXPECT_EQ(ResamplerProcess(state.get(), input.data(), out.data(), c.accepted + 1, 0), -1)
            << c.inputRate;
        EXPECT_EQ(state->produced, -1);
        EXPECT_EQ(out[0], 0x5A5A) << "nothing produced";
        EXPECT_EQ(state->filterState.time, before.filterState.time);
        EXPECT_EQ(std::memcmp(state->filterState.history, before.filterState.history,
                              sizeof(before.filterState.history)),
                  0)
            << "history unchanged by a refused block";

        const int produced = ResamplerProcess(state.get(), input.data(), out.data(), c.accepted, 0);
        EXPECT_GT(produced, 0) << c.inputRate;
        EXPECT_EQ(std::memcmp(state->filterState.history[1], before.filterState.history[1],
                              sizeof(before.filterState.history[1])),
                  0)
            << c.inputRate << ": wrote past the first channel's history";
    }
    auto state = MakeResampler(22050, 8000);
    std::int16_t sample = 0;
    EXPECT_EQ(ResamplerProcess(state.get(), &sample, &sample, -1, 0), -1);
    EXPECT_EQ(ResamplerProcess(state.get(), &sample, &sample, 0, 0), 0);
}

} // namespace
