#pragma once

#include <cstdint>
#include <vector>

namespace fz {

// Bilinear scaling of pictures of 3-byte (blue, green, red) or 4-byte (the same and one unused
// byte) pixels, rows packed, bottom row first. Positions are corner-aligned: destination column
// k samples source column k * (sourceWidth - 1) / (destinationWidth - 1), rows likewise, and
// both steps are unsigned fixed-point numbers with 32 fractional bits, truncated. Because the
// step is truncated the last destination row or column may fall a little short of the source's
// last one.
//
// The interpolation weights are the top 4 bits of each fractional position (0..15); a neighbour
// beyond the last source column or row is replaced by the pixel itself. Each channel is
// ((a * (16 - wx) + b * wx) * (16 - wy) + (c * (16 - wx) + d * wx) * wy) / 256 with a at
// (x, y), b at (x + 1, y), c at (x, y + 1), d at (x + 1, y + 1); the unused byte of a 4-byte
// source is ignored and that of a 4-byte destination written as 0. A destination of one column
// or one row samples source column or row 0.
//
// Both pictures belong to the caller; each must hold width * rows * its bytes per pixel, no
// more is read or written, and they must not overlap. All sizes must be at least 1, each
// picture at most kMaxPictureBytes (PictureLimits.h). Called on the video filter's streaming
// thread; nothing here is shared between calls.

// 4-byte pixels on both sides.
void ScaleBilinear(const std::uint8_t* source, int sourceWidth, int sourceRows,
                   std::uint8_t* destination, int destinationWidth, int destinationRows);

// Any pixel size (3 or 4 bytes) on either side. The same values as widening a 3-byte source
// to 4 bytes, ScaleBilinear, and keeping the first 3 bytes of each pixel, without the copies.
void ScaleBilinearPixels(const std::uint8_t* source, int sourceWidth, int sourceRows,
                         int sourceBytesPerPixel, std::uint8_t* destination, int destinationWidth,
                         int destinationRows, int destinationBytesPerPixel);

// The portable implementation, the reference for the vector kernels (tests compare them).
void ScaleBilinearPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                           std::uint8_t* destination, int destinationWidth, int destinationRows);
void ScaleBilinearPixelsPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                                 int sourceBytesPerPixel, std::uint8_t* destination,
                                 int destinationWidth, int destinationRows,
                                 int destinationBytesPerPixel);

// The columns of one scaling, worked out once and used for every row.
struct BilinearColumnPlan {
    std::vector<std::int32_t> offsets;     // byte offset of each column's pixel in its row
    std::vector<std::int32_t> nextOffsets; // of its right-hand neighbour (itself at the edge)
    std::vector<std::uint32_t> weights;    // the neighbour's weight 0..15 in each of 4 bytes
    // The leading columns whose neighbours a 4-byte load may read without passing the end of
    // the source row (all of them for 4-byte pixels).
    int wideLoadColumns = 0;
};

// A vector kernel blends the leading columns of one destination row and returns how many it
// did; the caller blends the rest with the portable code. `lower` and `upper` are the two
// source rows, `rowWeight` the upper row's weight 0..15. For 3-byte destinations a kernel
// may write one byte past each pixel it blends but never past the pixel of the row's last
// column, which it leaves to the caller.
struct BilinearScalerKernels {
    const char* name;
    int (*scaleRow)(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                    const BilinearColumnPlan& plan, int columns, int sourceBytesPerPixel,
                    std::uint8_t* out, int destinationBytesPerPixel);
};

// The vector kernels when this build has them and this processor runs them, else nullptr.
const BilinearScalerKernels* Sse2BilinearScalerKernels();
const BilinearScalerKernels* Avx2BilinearScalerKernels();

// The portable code as a kernel table (its row kernel leaves every column to the portable
// blend).
const BilinearScalerKernels* PortableBilinearScalerKernels();

// The kernels ScaleBilinear uses: the fastest this processor runs (cpu::ChooseKernel), chosen
// once; FRAMZEL_SIMD=0 keeps to the portable code, =sse2 stops at SSE2. Never null.
const BilinearScalerKernels* SelectedBilinearScalerKernels();

// ScaleBilinearPixels with the given kernels (nullptr: the portable code), for the tests and
// the bench.
void ScaleBilinearPixelsWith(const BilinearScalerKernels* kernels, const std::uint8_t* source,
                             int sourceWidth, int sourceRows, int sourceBytesPerPixel,
                             std::uint8_t* destination, int destinationWidth, int destinationRows,
                             int destinationBytesPerPixel);

namespace detail {
// Defined by the kernel files, nullptr when the build has no such kernels; they do not ask the
// processor.
const BilinearScalerKernels* BuiltSse2BilinearScalerKernels();
const BilinearScalerKernels* BuiltAvx2BilinearScalerKernels();
} // namespace detail

} // namespace fz
