#include "fzdsp/picture/PictureRotation.h"

#include "fzdsp/picture/PictureLimits.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace fz {
namespace {

constexpr int kPixelBytes = 3;

std::size_t Offset(int x, int row, int width) {
    return (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
            static_cast<std::size_t>(x)) *
           static_cast<std::size_t>(kPixelBytes);
}

} // namespace

bool RotatePicture(std::uint8_t* picture, int width, int rows, int angle) {
    if (angle == 0)
        return true;
    if (angle != 90 && angle != 180 && angle != 270)
        return false;

    const std::optional<std::size_t> bytes = PictureBytes(width, rows, kPixelBytes);
    if (picture == nullptr || !bytes)
        return false;
    std::vector<std::uint8_t> copy;
    try {
        copy.assign(picture, picture + *bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }

    // In memory terms (rows bottom-up), with i the source row and x the source column:
    //   90:  the destination is rows pixels wide; source row i becomes destination column i,
    //        source column x destination row width - 1 - x.
    //   270: source row i becomes destination column rows - 1 - i, column x destination row x.
    //   180: source row i becomes destination row rows - 1 - i.
    for (int i = 0; i < rows; ++i) {
        for (int x = 0; x < width; ++x) {
            std::size_t target = 0;
            if (angle == 90)
                target = Offset(i, width - 1 - x, rows);
            else if (angle == 270)
                target = Offset(rows - 1 - i, x, rows);
            else
                target = Offset(x, rows - 1 - i, width);
            std::memcpy(picture + target, copy.data() + Offset(x, i, width),
                        static_cast<std::size_t>(kPixelBytes));
        }
    }
    return true;
}

} // namespace fz
