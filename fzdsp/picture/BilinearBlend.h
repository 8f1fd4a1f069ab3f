#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fz::bilinear {

// The pixel arithmetic of the bilinear scaler (BilinearScaler.h), shared by the portable code
// and by the vector kernels for the columns they leave to it.

// Reads the pixel at byte `offset` of a row: 3 or 4 bytes, blue in the low byte. A 3-byte
// pixel is read as 3 bytes, never 4, so that the last pixel of a picture does not read past it.
inline std::uint32_t LoadPixel(const std::uint8_t* row, std::size_t offset, int bytesPerPixel) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row + offset, static_cast<std::size_t>(bytesPerPixel));
    return pixel;
}

// Writes 3 or 4 bytes of a pixel whose unused byte is 0.
inline void StorePixel(std::uint8_t* out, std::uint32_t pixel, int bytesPerPixel) {
    std::memcpy(out, &pixel, static_cast<std::size_t>(bytesPerPixel));
}

// Blue and red share one 32-bit lane (mask 0x00FF00FF), green sits alone (mask 0x0000FF00).
// A channel times a weight pair summing to 16 stays below 4096, and the second pass multiplies
// by a pair summing to 16 again, so every channel sum stays below 65536 and never spills into
// its neighbour's 16 bits. Dividing by 256 is then one shift of the whole lane. The unused byte
// comes out 0 whatever the source held there.
inline std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                           std::uint32_t wx, std::uint32_t wy) {
    constexpr std::uint32_t kBlueRed = 0x00FF00FF;
    constexpr std::uint32_t kGreen = 0x0000FF00;
    const std::uint32_t ix = 16 - wx;
    const std::uint32_t iy = 16 - wy;
    const std::uint32_t lowerBr = (a & kBlueRed) * ix + (b & kBlueRed) * wx;
    const std::uint32_t upperBr = (c & kBlueRed) * ix + (d & kBlueRed) * wx;
    const std::uint32_t lowerG = (a & kGreen) * ix + (b & kGreen) * wx;
    const std::uint32_t upperG = (c & kGreen) * ix + (d & kGreen) * wx;
    const std::uint32_t br = lowerBr * iy + upperBr * wy;
    const std::uint32_t g = lowerG * iy + upperG * wy;
    return ((br >> 8) & kBlueRed) | ((g >> 8) & kGreen);
}

} // namespace fz::bilinear
