#pragma once

#include "fzctrl/play/mpa/MpaFrameHeader.h"

#include <cstdint>

// The size rules of an MPEG audio frame, in one place for the frame information (MpaGetInfo),
// the frame decoder (MpaDecodeFrame) and the Layer III side-information parser.

namespace fz::mpa {

// Output channels of a frame: 1 in single-channel mode (3), else 2.
constexpr int ChannelCount(const MpaFrameHeader& header) {
    return header.mode == 3 ? 1 : 2;
}

// Samples per channel that one frame yields (ISO/IEC 11172-3 2.4.2.1; 13818-3 2.4.2.1: one
// Layer III granule per frame at the lower sampling frequencies).
constexpr int FrameSamples(const MpaFrameHeader& header) {
    if (header.layer == 1)
        return 384;
    if (header.layer == 3 && header.version != 1)
        return 576;
    return 1152;
}

// A frame's size in bytes at `bitRate` bit/s, `rate` Hz and padding bit `pad` (ISO/IEC 11172-3
// 2.4.3.1, 13818-3 2.4.3.1; integer divisions from left to right). The padding slot is 4 bytes
// in Layer I and 1 byte otherwise. 0 for a rate of 0.
constexpr int FrameBytes(const MpaFrameHeader& header, std::int64_t bitRate, std::int64_t rate,
                         int pad) {
    if (rate <= 0)
        return 0;
    switch (header.layer) {
    case 1:
        return static_cast<int>((pad + bitRate * 12 / rate) * 4);
    case 2:
        return static_cast<int>(pad + bitRate * 144 / rate);
    default:
        if (header.version == 1)
            return static_cast<int>(bitRate * 144 / rate + pad);
        return static_cast<int>(bitRate * 144 / rate / 2 + pad);
    }
}

// Bytes of Layer III side information after the header and CRC (ISO/IEC 11172-3 2.4.1.7,
// 13818-3 2.4.1.7): 17 or 32 (MPEG-1), 9 or 17 (MPEG-2/2.5) for one or two channels.
constexpr int Layer3SideInfoBytes(int version, int channels) {
    if (version == 1)
        return channels == 1 ? 17 : 32;
    return channels == 1 ? 9 : 17;
}

} // namespace fz::mpa
