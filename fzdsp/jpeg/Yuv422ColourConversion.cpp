#include "fzdsp/jpeg/Yuv422ColourConversion.h"

#include <cstddef>

namespace fz {

void ConvertToYuv422(const std::uint8_t* pixels, int width, int height, std::uint8_t* luma,
                     std::uint8_t* cb, std::uint8_t* cr) {
    const std::size_t chromaWidth = static_cast<std::size_t>(width) / 2;
    for (int i = 0; i < height; ++i) {
        const std::uint8_t* in = pixels + static_cast<std::size_t>(i) * width * 3;
        const std::size_t planeRow = static_cast<std::size_t>(height - 1 - i);
        std::uint8_t* y = luma + planeRow * width;
        std::uint8_t* u = cb + planeRow * chromaWidth;
        std::uint8_t* v = cr + planeRow * chromaWidth;
        for (std::size_t pair = 0; pair < chromaWidth; ++pair) {
            int cbSum = 0;
            int crSum = 0;
            for (int k = 0; k < 2; ++k) {
                const int b = in[0];
                const int g = in[1];
                const int r = in[2];
                in += 3;
                y[pair * 2 + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b) / 256);
                cbSum += (128 * b - 43 * r - 85 * g) / 256 + 128;
                crSum += (128 * r - 107 * g - 21 * b) / 256 + 128;
            }
            u[pair] = static_cast<std::uint8_t>(cbSum / 2);
            v[pair] = static_cast<std::uint8_t>(crSum / 2);
        }
    }
}

} // namespace fz
