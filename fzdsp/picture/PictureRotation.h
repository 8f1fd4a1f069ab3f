#pragma once

#include <cstdint>

namespace fz {

// Rotates a packed 24-bit picture of width x rows pixels (rows bottom-up) in place, through a
// temporary copy. In display terms (top row first, y downwards):
//   0    unchanged
//   90   clockwise, rows x width: source (x, y) goes to (rows - 1 - y, x)
//   180  upside down, width x rows: source (x, y) goes to (x, rows - 1 - y); not mirrored
//   270  counter-clockwise, rows x width: source (x, y) goes to (y, width - 1 - x)
// Returns false for any other angle, for a size below 1 or beyond kMaxPictureBytes
// (PictureLimits.h), and when the temporary copy cannot be allocated; the
// picture is then unchanged. The caller owns the picture (width * rows * 3 bytes).
bool RotatePicture(std::uint8_t* picture, int width, int rows, int angle);

} // namespace fz
