#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace fz::test {

// Pictures for the picture and encoder tests: packed 24-bit BGR (or 32-bit BGRX), rows
// bottom-up.
using Picture = std::vector<std::uint8_t>;

inline Picture RandomPicture(int width, int height, int bytesPerPixel, std::uint32_t seed) {
    std::mt19937 random(seed);
    Picture picture(static_cast<std::size_t>(width) * height * bytesPerPixel);
    for (std::uint8_t& byte : picture)
        byte = static_cast<std::uint8_t>(random() & 0xFF);
    return picture;
}

// Every pixel names its own place: blue = x & 0xFF, green = (x >> 8) | (y >> 8) << 4,
// red = y & 0xFF (x, y from the left and from the bottom).
inline Picture CoordinatePicture(int width, int height) {
    Picture picture(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
            pixel[0] = static_cast<std::uint8_t>(x & 0xFF);
            pixel[1] = static_cast<std::uint8_t>((x >> 8) | ((y >> 8) << 4));
            pixel[2] = static_cast<std::uint8_t>(y & 0xFF);
        }
    return picture;
}

} // namespace fz::test
