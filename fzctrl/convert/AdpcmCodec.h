#pragma once

#include "fzctrl/convert/AdpcmState.h"

#include <cstddef>
#include <cstdint>

namespace fz {

// IMA ADPCM (IMA/DVI 4-bit ADPCM): the block encoder of the movie writer and the stream decoder
// of the movie player. Plain functions over caller-owned buffers: one pass, integer arithmetic,
// no allocation, no division. Any thread; calls on one state must not overlap.
//
// Block layout of the WAVE IMA ADPCM format (format tag 0x11), one channel, 505 samples in
// 256 bytes:
//   0  int16  the block's first sample, exactly (little-endian)
//   2  uint8  step index at the start of the block
//   3  uint8  0
//   4  252    504 codes for samples 2..505, two per byte, the earlier one in the low nibble
// Blocks follow each other without gaps; a last block of r < 505 samples holds its header and
// r / 2 bytes of codes (the last high nibble 0 when r - 1 is odd).
inline constexpr int kAdpcmSamplesPerBlock = 505;
inline constexpr int kAdpcmBlockBytes = 256;
inline constexpr int kAdpcmBlockHeaderBytes = 4;

// The number of bytes AdpcmEncodeBlocks writes for `count` samples.
constexpr std::size_t AdpcmEncodedSize(int count) {
    if (count <= 0)
        return 0;
    const int full = count / kAdpcmSamplesPerBlock;
    const int rest = count % kAdpcmSamplesPerBlock;
    return static_cast<std::size_t>(full) * kAdpcmBlockBytes +
           (rest > 0 ? static_cast<std::size_t>(kAdpcmBlockHeaderBytes + rest / 2) : 0);
}
static_assert(AdpcmEncodedSize(505) == 256 && AdpcmEncodedSize(506) == 260 &&
              AdpcmEncodedSize(507) == 261);

// Encodes `count` samples, taken from `input` every `stride` samples (stride >= 1; 1 for a
// single-channel buffer), into `output`, which must hold AdpcmEncodedSize(count) bytes. A block
// starts at the first sample of the call and after every 505 samples; each block header resets
// the predictor to its sample, while the step index carries on from block to block.
void AdpcmEncodeBlocks(const std::int16_t* input, std::uint8_t* output, int count,
                       AdpcmState* state, int stride);

// Decodes `count` 4-bit codes (two per byte, low nibble first, no block headers) from `input`
// into `count` samples. Reads (count + 1) / 2 bytes: every call starts at a byte boundary, and
// for an odd count the high nibble of the last byte is not used.
//
// A step index outside 0..88 in `state` (as a damaged movie may give) is taken as the nearest
// valid index.
void AdpcmDecode(const std::uint8_t* input, std::int16_t* output, int count, AdpcmState* state);

} // namespace fz
