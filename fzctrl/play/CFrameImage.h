#pragma once

#include "fzctrl/play/MediaFormats.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fz {

// One decoded movie frame as a 24-bit device-independent bitmap: rows bottom-up, pixels in blue,
// green, red order, each row padded to a multiple of 4 bytes. Built by the frame handler for one
// frame and destroyed after drawing; one thread.
class CFrameImage {
public:
    // Decodes the JPEG file at `hostPath` (DecodeJpegFile, with its message boxes). Returns 1
    // when decoded; 0 otherwise, and the image then keeps no pixels.
    int LoadJpeg(const std::string& hostPath);

    // Null until a load succeeds. The buffer holds Header().height rows of RowBytes() bytes.
    const std::uint8_t* Pixels() const { return m_pixels.get(); }
    // Size 40, the decoded width and height, 1 plane, 24 bits, image size width × height × 3.
    const BitmapInfoHeader& Header() const { return m_header; }
    std::size_t RowBytes() const { return RowBytesFor(m_header.width); }

    // ((width × 24 + 31) / 32) × 4: a 24-bit row padded to whole 32-bit words.
    static std::size_t RowBytesFor(std::int32_t width) {
        return (static_cast<std::size_t>(width) * 24 + 31) / 32 * 4;
    }

private:
    std::unique_ptr<std::uint8_t[]> m_pixels;
    BitmapInfoHeader m_header;
};

} // namespace fz
