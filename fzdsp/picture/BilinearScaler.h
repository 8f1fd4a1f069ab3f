#pragma once

#include <cstdint>

namespace fz {

// Bilinear scaling of 32-bit pictures (blue, green, red, one unused byte; rows packed, bottom
// row first). Positions are corner-aligned: destination column k samples source column
// k * (sourceWidth - 1) / (destinationWidth - 1), rows likewise, and both steps are unsigned
// fixed-point numbers with 32 fractional bits, truncated. Because the step is truncated the
// last destination row or column may fall a little short of the source's last one.
//
// The interpolation weights are the top 4 bits of each fractional position (0..15); a neighbour
// beyond the last source column or row is replaced by the pixel itself. Each channel is
// ((a * (16 - wx) + b * wx) * (16 - wy) + (c * (16 - wx) + d * wx) * wy) / 256 with a at
// (x, y), b at (x + 1, y), c at (x, y + 1), d at (x + 1, y + 1); the unused byte is written
// as 0. A destination of one column or one row samples source column or row 0.
//
// Both pictures belong to the caller; they must hold width * rows * 4 bytes each and must
// not overlap. All sizes must be at least 1.
void ScaleBilinear(const std::uint8_t* source, int sourceWidth, int sourceRows,
                   std::uint8_t* destination, int destinationWidth, int destinationRows);

// The portable implementation, the reference for every faster one (tests compare them).
void ScaleBilinearPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                           std::uint8_t* destination, int destinationWidth, int destinationRows);

} // namespace fz
