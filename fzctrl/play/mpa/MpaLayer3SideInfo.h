#pragma once

#include "fzctrl/play/mpa/MpaFrameRules.h"

#include <cstdint>

namespace fz::mpa {

enum class Layer3BlockType : std::uint8_t {
    Normal = 0,
    Start = 1,
    Short = 2,
    Stop = 3,
};

// side_info of one granule of one channel (ISO/IEC 11172-3 2.4.1.7, 13818-3 2.4.1.7), with the
// region boundaries resolved into spectral lines.
struct Layer3GranuleInfo {
    int part23Length;     // bits of scale factors and Huffman data
    int bigValues;        // pairs in the big_values part, 0..288
    int globalGain;       // 0..255
    int scalefacCompress; // 4 bits (MPEG-1) or 9 bits (MPEG-2/2.5)
    Layer3BlockType blockType;
    bool mixedBlock;
    int tableSelect[3];
    int subblockGain[3];
    int region1Start; // first line of region 1 (big_values part only)
    int region2Start; // first line of region 2
    bool preflag;
    int scalefacScale;     // 0 or 1
    int count1TableSelect; // 0 = table A, 1 = table B
    // False when the fields contradict each other or the standard (a window switch with block
    // type 0, big_values above 288, an unused Huffman table): the granule decodes to silence.
    bool valid;
};

struct Layer3SideInfo {
    int mainDataBegin; // bytes before this frame's main data, counted back from its start
    int scfsi[2];      // MPEG-1: four scfsi bits per channel, group 0 in bit 3
    Layer3GranuleInfo granule[2][2]; // [granule][channel]
};

// Parses the side information from `bytes` (exactly Layer3SideInfoBytes of them,
// MpaFrameRules.h). `rateRow` is
// SampleRateRow of the header; it places the region boundaries. Returns the granules in the
// frame (2 for MPEG-1, 1 otherwise).
int Layer3ParseSideInfo(const std::uint8_t* bytes, int version, int channels, int rateRow,
                        Layer3SideInfo& info);

} // namespace fz::mpa
