#pragma once

#include <cstdint>

namespace fz {

// Colour conversion of the YUV422 JPEG encoder: a packed 24-bit BGR picture (rows bottom-up)
// into three planes with row 0 at the top; Y at full resolution, Cb and Cr at half the width.
// Integer arithmetic, divisions truncating towards zero:
//   Y   = (77 R + 150 G + 29 B) / 256 per pixel
//   Cb' = (128 B - 43 R - 85 G) / 256 + 128,  Cr' = (128 R - 107 G - 21 B) / 256 + 128
//   Cb  = (Cb'(x) + Cb'(x + 1)) / 2,  Cr likewise, for each pair of pixels at column x / 2.
// Every result lies in 0..255. The width must be even; the caller owns all buffers: the planes
// hold width x height and width / 2 x height bytes. This is the portable kernel and the
// reference of the vector ones (Yuv422Kernels.h).
void ConvertToYuv422(const std::uint8_t* pixels, int width, int height, std::uint8_t* luma,
                     std::uint8_t* cb, std::uint8_t* cr);

} // namespace fz
