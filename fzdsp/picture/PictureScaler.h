#pragma once

#include "fzdsp/picture/BitmapInfoHeader.h"

#include <cstdint>
#include <vector>

namespace fz {

// Scales one frame of the video filter: it takes a 24-bit or 32-bit source picture (rows
// bottom-up, packed), scales it bilinearly (see BilinearScaler.h) and keeps the result as an
// output picture of 24 bits: a 40-byte bitmap header followed by the packed pixels. One instance
// serves one frame on the filter's streaming thread; every buffer it holds is released when it
// is destroyed.
class CPictureScaler {
public:
    CPictureScaler() = default;
    CPictureScaler(const CPictureScaler&) = delete;
    CPictureScaler& operator=(const CPictureScaler&) = delete;

    // Takes the source picture (rows packed, width x 3 or width x 4 bytes). The pixels stay the
    // caller's and must outlive Scale; they are read in place, whatever their depth. Refuses
    // bit depths other than 24 and 32, sizes below 1, top-down pictures (negative height) and
    // pictures beyond kMaxPictureBytes (PictureLimits.h).
    bool SetSource(const BitmapInfoHeader& header, const std::uint8_t* pixels);

    // Scales the source to width x height (both at least 1, the picture within kMaxPictureBytes)
    // and returns the output picture:
    // its header (width, height, 24 bits, image size width * height * 3) followed by the
    // pixels. The picture stays owned here and is valid until the next Scale or the end of the
    // object. Returns nullptr without a source or when a buffer cannot be allocated.
    const std::uint8_t* Scale(int width, int height);

    // Rotates the output picture's pixels by 0, 90, 180 or 270 degrees (see PictureRotation.h)
    // and swaps the header's width and height for 90 and 270. False for any other angle or
    // without an output picture.
    bool Rotate(int angle);

    // The output picture's header and pixels, nullptr before the first successful Scale.
    const BitmapInfoHeader* OutputHeader() const;
    std::uint8_t* OutputPixels();

private:
    BitmapInfoHeader m_sourceHeader;
    const std::uint8_t* m_sourcePixels = nullptr;
    BitmapInfoHeader m_outputHeader;
    std::vector<std::uint8_t> m_output; // m_outputHeader's bytes, then the pixels
};

} // namespace fz
