#pragma once

#include <cstddef>
#include <cstdint>

namespace fz {

// Counts the complete JPEG images in a frame file held in memory: the scan looks for a start
// marker (FF D8), then, from two bytes after it, for an end marker (FF D9); each pair found is
// one image running from the FF D8 through the FF D9, and the search for the next start goes on
// after the end. A start without an end before the end of the data is not counted and ends the
// scan. Only byte pairs wholly inside the `length` bytes are examined.
//
// `largest` (when given) receives the length of the longest image counted + 2, or 0. Returns
// the count. The movie writer calls it on the mapped frame file; any thread, no allocation.
std::uint32_t CountImages(const std::uint8_t* memory, std::size_t length, std::uint32_t* largest);

} // namespace fz
