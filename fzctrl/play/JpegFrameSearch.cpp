#include "fzctrl/play/JpegFrameSearch.h"

#include <algorithm>

namespace fz {
namespace {

// Offset of the first `second` byte preceded by 0xFF at or after `from`, or `length`.
std::uint32_t FindMarker(const std::uint8_t* area, std::uint32_t from, std::uint32_t length,
                         std::uint8_t second) {
    for (std::uint32_t i = from; i + 1 < length; ++i) {
        if (area[i] == 0xFF && area[i + 1] == second)
            return i;
    }
    return length;
}

} // namespace

bool FindFrame(const std::uint8_t* area, std::uint32_t length, FoundFrame& frame) {
    const std::uint32_t start = FindMarker(area, 0, length, 0xD8);
    if (start >= length)
        return false;
    const std::uint32_t end = FindMarker(area, start + 2, length, 0xD9);
    if (end >= length)
        return false;
    frame.start = start;
    frame.size = end + 2 - start;
    return true;
}

FrameCount CountFrames(const std::uint8_t* area, std::uint32_t length) {
    FrameCount count;
    std::uint32_t offset = 0;
    FoundFrame frame;
    while (offset < length && FindFrame(area + offset, length - offset, frame)) {
        ++count.frames;
        count.largest = std::max(count.largest, frame.size + 2);
        offset += frame.start + frame.size;
    }
    return count;
}

} // namespace fz
