#pragma once

#include <cstdint>
#include <vector>

namespace fz {

// The video filter's second picture: the result of a cut, or the letterbox canvas that a
// narrower picture is centred on. It is owned by the filter instance and kept from frame to
// frame, so a letterbox canvas is cleared to black only when it is first prepared at a size;
// the frames that follow overwrite the picture area and leave the bars alone.
class GeometryCanvas {
public:
    enum class Use { kCut, kLetterbox };

    // A packed 24-bit buffer of width * rows pixels, or nullptr for a size below 1, a picture
    // beyond kMaxPictureBytes (PictureLimits.h) or one that cannot be allocated.
    // Valid until the next Prepare.
    std::uint8_t* Prepare(int width, int rows, Use use);

private:
    std::vector<std::uint8_t> m_bytes;
    int m_width = 0;
    int m_rows = 0;
    Use m_use = Use::kCut;
};

} // namespace fz
