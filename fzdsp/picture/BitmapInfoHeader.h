#pragma once

#include <cstddef>
#include <cstdint>

namespace fz {

// The platform's 40-byte bitmap information header, little-endian, as it describes pictures
// between the filters: a positive height means rows stored bottom-up.
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0; // 0: uncompressed RGB
    std::uint32_t sizeImage = 0;   // bytes of pixels
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, bitCount) == 14);
static_assert(offsetof(BitmapInfoHeader, sizeImage) == 20);

} // namespace fz
