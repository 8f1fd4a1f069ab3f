#pragma once

#include <cstdint>

namespace fz::mpa {

// The fields of a 4-byte MPEG audio frame header (ISO/IEC 11172-3 2.4.1.3, 13818-3 2.4.1.3),
// as the frame decoder parses them. The first twelve fields of the public frame information
// and decode job records have exactly this order.
struct MpaFrameHeader {
    std::int32_t version;         // 1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5
    std::int32_t layer;           // 1, 2 or 3
    std::int32_t crc;             // 1 when a 16-bit CRC follows the header
    std::int32_t bitRateIndex;    // 1..14
    std::int32_t sampleRateIndex; // 0..2
    std::int32_t padding;
    std::int32_t privateBit;
    std::int32_t mode;          // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    std::int32_t modeExtension; // 0..3
    std::int32_t rightsBit;
    std::int32_t original;
    std::int32_t emphasis;
};
static_assert(sizeof(MpaFrameHeader) == 12 * 4);

} // namespace fz::mpa
