// Our block encoder's output judged by an independent decoder: sox reads a WAVE IMA ADPCM
// file made of our blocks and must give back exactly the predictor values the encoder
// reconstructed. (sox sums the shifted steps as the IMA algorithm does; decoders that compute
// the difference as (2 x magnitude + 1) x step / 8 round differently and are no oracle.)
#include "fzctrl/convert/AdpcmCodec.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using fz::AdpcmState;

void PutLe16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutLe32(std::string& out, std::uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// A mono 8000 Hz WAVE IMA ADPCM file (format tag 0x11) with the usual 60-byte header: the
// 20-byte format record with 505 samples per block, a "fact" chunk with the sample count, then
// "data".
std::string ImaAdpcmWave(const std::vector<std::uint8_t>& blocks, std::uint32_t sampleCount) {
    std::string fmt;
    PutLe16(fmt, 0x11);                      // format tag
    PutLe16(fmt, 1);                         // channels
    PutLe32(fmt, 8000);                      // samples per second
    PutLe32(fmt, 8000 * 256 / 505);          // average bytes per second
    PutLe16(fmt, fz::kAdpcmBlockBytes);      // block align
    PutLe16(fmt, 4);                         // bits per sample
    PutLe16(fmt, 2);                         // extra bytes
    PutLe16(fmt, fz::kAdpcmSamplesPerBlock); // samples per block

    std::string out = "RIFF";
    PutLe32(out, static_cast<std::uint32_t>(52 + blocks.size()));
    out += "WAVEfmt ";
    PutLe32(out, static_cast<std::uint32_t>(fmt.size()));
    out += fmt;
    out += "fact";
    PutLe32(out, 4);
    PutLe32(out, sampleCount);
    out += "data";
    PutLe32(out, static_cast<std::uint32_t>(blocks.size()));
    EXPECT_EQ(out.size(), 60u);
    out.append(blocks.begin(), blocks.end());
    return out;
}

std::vector<std::int16_t> EncoderPredictors(const std::vector<std::int16_t>& samples) {
    std::vector<std::int16_t> trace;
    std::vector<std::uint8_t> scratch(fz::AdpcmEncodedSize(static_cast<int>(samples.size())));
    for (int n = 1; n <= static_cast<int>(samples.size()); ++n) {
        AdpcmState state;
        fz::AdpcmEncodeBlocks(samples.data(), scratch.data(), n, &state, 1);
        trace.push_back(state.predictor);
    }
    return trace;
}

TEST(AdpcmSoxTest, SoxDecodesOurBlocksToTheEncodersPredictors) {
    ASSERT_EQ(std::system("command -v sox >/dev/null 2>&1"), 0)
        << "sox is needed (Debian package sox, installed by tools/install-deps.sh)";

    // Four blocks of speech-like tones, noise, full-scale square bursts and silence, so that
    // the index sweeps its range and the predictor saturates.
    const int count = 4 * fz::kAdpcmSamplesPerBlock;
    std::vector<std::int16_t> samples;
    std::uint32_t noise = 2024;
    for (int n = 0; n < count; ++n) {
        noise = noise * 1664525u + 1013904223u;
        double v = 12000 * std::sin(n * 0.031) * std::sin(n * 0.0021) + 3000 * std::sin(n * 1.7) +
                   static_cast<double>(noise >> 20) - 2048.0;
        if (n % 505 > 430 && n % 505 < 470)
            v = (n % 6 < 3) ? 32767 : -32768;
        if (n % 505 >= 470)
            v = 0;
        samples.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0)));
    }

    AdpcmState state;
    std::vector<std::uint8_t> blocks(fz::AdpcmEncodedSize(count));
    fz::AdpcmEncodeBlocks(samples.data(), blocks.data(), count, &state, 1);

    const auto dir = fz::test::FreshWorkDir("sox");
    fz::test::WriteFile(dir / "ours.wav", ImaAdpcmWave(blocks, static_cast<std::uint32_t>(count)));
    const std::string command = "sox -V1 '" + (dir / "ours.wav").string() +
                                "' -t raw -e signed-integer -b 16 -L '" +
                                (dir / "sox.raw").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::string raw = fz::test::ReadFile(dir / "sox.raw");
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(count) * 2);
    const std::vector<std::int16_t> expected = EncoderPredictors(samples);
    int saturated = 0;
    for (int n = 0; n < count; ++n) {
        const auto lo = static_cast<std::uint8_t>(raw[static_cast<std::size_t>(2 * n)]);
        const auto hi = static_cast<std::uint8_t>(raw[static_cast<std::size_t>(2 * n + 1)]);
        const auto decoded = static_cast<std::int16_t>(lo | hi << 8);
        ASSERT_EQ(decoded, expected[static_cast<std::size_t>(n)]) << "sample " << n;
        saturated += (decoded == 32767 || decoded == -32768) ? 1 : 0;
    }
    EXPECT_GT(saturated, 0) << "the signal should reach the limits";
}

} // namespace
