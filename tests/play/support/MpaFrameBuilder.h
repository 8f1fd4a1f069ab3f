#pragma once

// Layer I and Layer II frames built by hand: valid frames with random allocations, scale
// factors and samples, for the comparison with the oracle where no encoder at hand produces the
// case (Layer I, intensity stereo, MPEG-2.5 rates, every allocation table).

#include "tests/play/support/MpaOracle.h"

#include <cstdint>
#include <random>
#include <vector>

namespace fz::test::mpa {

struct FrameParams {
    int version = 1; // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    int layer = 1;   // 1 or 2
    int bitRateIndex = 14;
    int sampleRateIndex = 0;
    int mode = 0; // 0 stereo, 1 joint (intensity) stereo, 2 dual channel, 3 single channel
    int modeExtension = 0;
    bool crc = false;
};

// The 4 header bytes of `params` (no padding).
std::vector<std::uint8_t> HeaderBytes(const FrameParams& params);

// One valid frame: every subband below the last one gets a random allocation (more of them 0
// the fuller the frame would get), scale factor and samples; the highest subband carries none,
// since the decoder does not decode it.
std::vector<std::uint8_t> BuildRandomFrame(const FrameParams& params, std::mt19937& random);

// `frames` such frames one after the other.
Stream BuildRandomStream(const FrameParams& params, int frames, std::uint32_t seed);

} // namespace fz::test::mpa
