#pragma once

// Layer III frames built by hand, for the cases no encoder at hand makes (intensity stereo in
// MPEG-1 and MPEG-2/2.5, with long and short blocks) and for damaged frames. The frames are
// valid: main_data_begin 0, scale factors in the standard's order, the spectrum coded as
// big_values pairs with Huffman table 24 (linbits 4) in all regions and no count1 part.

#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"

#include <cstdint>
#include <vector>

namespace fz::test::mpa {

struct Layer3ChannelSpec {
    fz::mpa::Layer3BlockType blockType = fz::mpa::Layer3BlockType::Normal;
    bool mixedBlock = false; // with block type Short
    int globalGain = 150;
    int scalefacScale = 0;
    int scalefacCompress = 0; // MPEG-1: 4 bits; MPEG-2/2.5: 9 bits
    int subblockGain[3] = {0, 0, 0};
    // Scale factors in transmission order; each is written with its slen.
    std::vector<int> scaleFactors;
    std::vector<int> scaleFactorBits;
    int values[576] = {}; // quantised lines in Huffman order, |v| ≤ 30
};

struct Layer3FrameSpec {
    int version = 1; // 1, 2, 3 (MPEG-2.5)
    int sampleRateIndex = 0;
    int bitRateIndex = 14;
    int mode = 1; // 0 stereo, 1 joint stereo, 2 dual, 3 single channel
    int modeExtension = 1;
    // [granule][channel]; MPEG-2/2.5 use granule 0 only.
    Layer3ChannelSpec channel[2][2];
};

// The frame's bytes (size from the header, no padding). Empty when the main data would not fit.
std::vector<std::uint8_t> BuildLayer3Frame(const Layer3FrameSpec& layout);

// Fills the scale factors of a channel for its block type with random values that fit the
// slen of `scalefacCompress` (MPEG-1) or of the LSF rule (`intensityRight` picks the right
// channel's rule). `maxValue` caps every value.
void FillScaleFactors(Layer3ChannelSpec& channel, int version, bool intensityRight, unsigned seed,
                      int maxValue = 31);

} // namespace fz::test::mpa
