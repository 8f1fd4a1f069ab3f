#pragma once

#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"
#include "fzctrl/play/mpa/MpaLayer3Tables.h"

#include <cstdint>

namespace fz::mpa {

// The scale factors of one granule of one channel. Long band 21 and short band 12 are never
// sent and stay 0.
struct Layer3ScaleFactors {
    std::uint8_t longBands[kLongBands];
    std::uint8_t shortBands[kShortBands][3]; // [band][window]
    // MPEG-2/2.5 intensity stereo: the largest value each band's slen can code, which marks an
    // illegal intensity position (13818-3 2.4.3.2). 0 where the band has no bits.
    std::uint8_t longMax[kLongBands];
    std::uint8_t shortMax[kShortBands];
};

// MPEG-1 (ISO/IEC 11172-3 2.4.1.7, 2.4.2.7). In granule 1 of a long block, the band groups
// whose scfsi bit is set keep the values that `sf` holds from granule 0; everything else is
// read. `scfsi` has group 0 in bit 3.
void Layer3ReadScaleFactorsMpeg1(MpaBitReader& bits, const Layer3GranuleInfo& granule, int scfsi,
                                 int granuleIndex, Layer3ScaleFactors& sf);

// Which scalefac_compress rule of 13818-3 2.4.3.2 a channel follows.
enum class Layer3LsfChannel {
    Normal,
    IntensityRight, // the right channel of an intensity-stereo frame
};

// The slen of the four partitions, the nr_of_sfb_block row and preflag for a scalefac_compress
// value (13818-3 2.4.3.2).
struct Layer3LsfPartitions {
    int row;
    int slen[4];
    bool preflag;
};
Layer3LsfPartitions Layer3LsfPartitionsFor(int scalefacCompress, Layer3LsfChannel kind);

// MPEG-2/2.5 (ISO/IEC 13818-3 2.4.3.2): the four partitions in the order long bands 0..20,
// short bands 0..11 (three windows each), or for mixed blocks long bands 0..5 and short bands
// 3..11. Returns preflag (set by scalefac_compress 500..511 of a normal channel).
bool Layer3ReadScaleFactorsLsf(MpaBitReader& bits, const Layer3GranuleInfo& granule,
                               Layer3LsfChannel kind, Layer3ScaleFactors& sf);

} // namespace fz::mpa
