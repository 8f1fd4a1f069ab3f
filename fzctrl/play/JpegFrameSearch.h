#pragma once

#include <cstdint>

namespace fz {

// Searching a run of concatenated JPEG pictures (a movie's video area) for whole pictures. Any
// bytes between pictures, such as a length field in front of each, are passed over.
struct FoundFrame {
    std::uint32_t start = 0; // offset of FF D8 within the area
    std::uint32_t size = 0;  // bytes from FF D8 through FF D9 inclusive
};

// The first FF D8 of the area, then the first FF D9 from two bytes after it; false unless both
// lie wholly within the `length` bytes.
bool FindFrame(const std::uint8_t* area, std::uint32_t length, FoundFrame& frame);

// How many whole pictures FindFrame meets in turn, each search starting two bytes past the
// previous FF D9, and the largest of them (its size + 2).
struct FrameCount {
    std::uint32_t frames = 0;
    std::uint32_t largest = 0;
};
FrameCount CountFrames(const std::uint8_t* area, std::uint32_t length);

} // namespace fz
