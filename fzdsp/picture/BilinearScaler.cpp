#include "fzdsp/picture/BilinearScaler.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <vector>

namespace fz {
namespace {

static_assert(std::endian::native == std::endian::little,
              "pixels are read as little-endian 32-bit words: blue in the low byte");

// One source sample position per destination column or row.
struct Tap {
    std::uint32_t index;     // source column or row
    std::uint32_t nextIndex; // the neighbour to the right or above, or index itself at the edge
    std::uint32_t weight;    // weight of the neighbour, 0..15
};

// Corner-aligned positions in 32.32 fixed point: step = trunc((s - 1) * 2^32 / (d - 1)).
std::vector<Tap> Taps(int sourceCount, int destinationCount) {
    std::uint64_t step = 0;
    if (destinationCount > 1)
        step = static_cast<std::uint64_t>(static_cast<double>(sourceCount - 1) * 4294967296.0 /
                                          static_cast<double>(destinationCount - 1));
    std::vector<Tap> taps(static_cast<std::size_t>(destinationCount));
    std::uint64_t position = 0;
    for (Tap& tap : taps) {
        tap.index = static_cast<std::uint32_t>(position >> 32);
        tap.nextIndex =
            tap.index + 1 < static_cast<std::uint32_t>(sourceCount) ? tap.index + 1 : tap.index;
        tap.weight = static_cast<std::uint32_t>(position >> 28) & 0xF;
        position += step;
    }
    return taps;
}

std::uint32_t LoadPixel(const std::uint8_t* row, std::uint32_t x) {
    std::uint32_t pixel;
    std::memcpy(&pixel, row + static_cast<std::size_t>(x) * 4, sizeof pixel);
    return pixel;
}

// Blue and red share one 32-bit lane (mask 0x00FF00FF), green sits alone (mask 0x0000FF00).
// A channel times a weight pair summing to 16 stays below 4096, and the second pass multiplies
// by a pair summing to 16 again, so every channel sum stays below 65536 and never spills into
// its neighbour's 16 bits. Dividing by 256 is then one shift of the whole lane.
std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
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

} // namespace

void ScaleBilinearPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                           std::uint8_t* destination, int destinationWidth, int destinationRows) {
    const std::vector<Tap> columns = Taps(sourceWidth, destinationWidth);
    const std::vector<Tap> rows = Taps(sourceRows, destinationRows);
    const std::size_t sourceRowBytes = static_cast<std::size_t>(sourceWidth) * 4;
    std::uint8_t* out = destination;
    for (const Tap& row : rows) {
        const std::uint8_t* lower = source + row.index * sourceRowBytes;
        const std::uint8_t* upper = source + row.nextIndex * sourceRowBytes;
        for (const Tap& column : columns) {
            const std::uint32_t pixel =
                Blend(LoadPixel(lower, column.index), LoadPixel(lower, column.nextIndex),
                      LoadPixel(upper, column.index), LoadPixel(upper, column.nextIndex),
                      column.weight, row.weight);
            std::memcpy(out, &pixel, sizeof pixel);
            out += 4;
        }
    }
}

void ScaleBilinear(const std::uint8_t* source, int sourceWidth, int sourceRows,
                   std::uint8_t* destination, int destinationWidth, int destinationRows) {
    ScaleBilinearPortable(source, sourceWidth, sourceRows, destination, destinationWidth,
                          destinationRows);
}

} // namespace fz
