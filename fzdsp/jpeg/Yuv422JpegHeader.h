#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fz {

inline constexpr std::size_t kYuv422HeaderBytes = 640;

// Fixed places in the header.
inline constexpr std::size_t kYuv422FileLengthOffset = 14; // 4 bytes, filled in by the video filter
inline constexpr std::size_t kYuv422StartOfScanOffset = 626;

// The 640-byte header of the YUV422 JPEG encoder: start of image; a comment segment carrying the
// frame parameter block (height and width little-endian at 25 and 27, Q at 29, the 4:2:2
// sampling code at 31, zeros at 10..24 where the video filter later stores the file length);
// DQT with both tables (T.81 B.2.4.1, steps in zigzag order); a filler comment; SOF0 (T.81
// B.2.2, height and width big-endian, Y sampled 2 x 1, Cb and Cr 1 x 1); DHT with the four
// Annex K tables (B.2.4.2); a filler comment; SOS (B.2.3) for the three components.
// Width and height must fit in 16 bits, scale in 0..127.
std::array<std::uint8_t, kYuv422HeaderBytes> BuildYuv422Header(int width, int height, int scale);

} // namespace fz
