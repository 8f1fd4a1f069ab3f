#include "fzctrl/play/CFrameImage.h"

#include "fzctrl/play/JpegFile.h"

#include <cstring>
#include <new>

namespace fz {

int CFrameImage::LoadJpeg(const std::string& hostPath) {
    m_pixels.reset();
    m_header = BitmapInfoHeader{};
    DecodedJpeg decoded = DecodeJpegFile(hostPath);
    if (!decoded.rgb)
        return 0;
    const std::size_t width = static_cast<std::size_t>(decoded.width);
    const std::size_t height = static_cast<std::size_t>(decoded.height);
    const std::size_t rowBytes = RowBytesFor(decoded.width);
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[rowBytes * height]);
    if (!pixels)
        return 0;
    // Top-down RGB rows become bottom-up BGR rows; the padding is cleared so that the buffer is
    // fully defined.
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* source = decoded.rgb.get() + y * width * 3;
        std::uint8_t* target = pixels.get() + (height - 1 - y) * rowBytes;
        for (std::size_t x = 0; x < width; ++x) {
            target[3 * x] = source[3 * x + 2];
            target[3 * x + 1] = source[3 * x + 1];
            target[3 * x + 2] = source[3 * x];
        }
        std::memset(target + width * 3, 0, rowBytes - width * 3);
    }
    m_pixels = std::move(pixels);
    m_header = MakeMoviePictureFormat(decoded.width, decoded.height);
    return 1;
}

} // namespace fz
