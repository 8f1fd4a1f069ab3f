#pragma once

#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"
#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"

namespace fz::mpa {

// One channel of one granule in the order the Huffman data sends it: long bands line after
// line, short bands window after window.
struct Layer3Spectrum {
    alignas(16) float lines[576];
    int nonZeroEnd; // every line from here on is zero
};

// Lines of a mixed block that belong to long bands: the long bands sent before the short
// bands (8 in MPEG-1, 6 otherwise). 36 lines, except at 8000 Hz (72).
int Layer3MixedLongLines(int version, int rateRow);

// Requantisation (ISO/IEC 11172-3 2.4.3.4.7): xr = sign(is) |is|^(4/3) 2^((global_gain − 210
// − 8 subblock_gain) / 4) 2^−((1 + scalefac_scale) / 2 (scalefac + preflag pretab)). Lines at
// and after `nonZeroEnd` become zero.
void Layer3Requantize(const int (&values)[576], int nonZeroEnd, const Layer3GranuleInfo& granule,
                      const Layer3ScaleFactors& sf, int version, int rateRow,
                      Layer3Spectrum& spectrum);

} // namespace fz::mpa
