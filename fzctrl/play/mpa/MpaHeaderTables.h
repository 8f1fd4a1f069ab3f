#pragma once

#include <array>
#include <cstdint>

namespace fz::mpa {

// Bit rates in kbit/s by bitrate_index 0..14 (ISO/IEC 11172-3 2.4.2.3, "bitrate_index"; for the
// lower sampling frequencies ISO/IEC 13818-3 2.4.2.3, Table "bitrate_index"). Row 0 is MPEG-1,
// row 1 MPEG-2, which MPEG-2.5 shares; within a row one column per layer (I, II, III). Index 0 is
// free format, which the decoder refuses; index 15 is forbidden and not stored.
inline constexpr std::array<std::array<std::array<std::int32_t, 15>, 3>, 2> kBitRateKbps = {{
    {{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    }},
    {{
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    }},
}};

// Sampling frequencies in Hz by sampling_frequency 0..2 (ISO/IEC 11172-3 2.4.2.3, ISO/IEC
// 13818-3 2.4.2.3), one row per version: MPEG-1, MPEG-2, and MPEG-2.5 (half the MPEG-2 rates;
// in neither standard). Index 3 is reserved.
inline constexpr std::array<std::array<std::int32_t, 3>, 3> kSampleRateHz = {{
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
}};

static_assert(kSampleRateHz[1][0] * 2 == kSampleRateHz[0][0] &&
              kSampleRateHz[2][2] * 4 == kSampleRateHz[0][2]);
static_assert(kBitRateKbps[0][2][9] * 1000 * 144 / kSampleRateHz[0][0] == 417,
              "128 kbit/s Layer III at 44.1 kHz is a 417-byte frame without padding");

// Bit rate in kbit/s of a header's version (1..3), layer (1..3) and bitrate_index (1..14).
constexpr std::int32_t BitRateKbps(int version, int layer, int bitRateIndex) {
    return kBitRateKbps[version == 1 ? 0 : 1][static_cast<std::size_t>(layer - 1)]
                       [static_cast<std::size_t>(bitRateIndex)];
}

// Sampling frequency in Hz of a header's version (1..3) and sampling_frequency (0..2).
constexpr std::int32_t SampleRateHz(int version, int sampleRateIndex) {
    return kSampleRateHz[static_cast<std::size_t>(version - 1)]
                        [static_cast<std::size_t>(sampleRateIndex)];
}

} // namespace fz::mpa
