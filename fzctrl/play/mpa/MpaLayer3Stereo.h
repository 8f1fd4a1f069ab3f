#pragma once

#include "fzctrl/play/mpa/MpaLayer3Requantize.h"

namespace fz::mpa {

enum class Layer3StereoModes {
    MiddleSide = 2, // mode_extension bit values (11172-3 2.4.2.3)
    Intensity = 1,
};

// Joint-stereo processing of one granule (ISO/IEC 11172-3 2.4.3.4.9, 13818-3 2.4.3.2), on the
// spectra in Huffman order, before reordering.
//
// Middle/side: L = (M + S) / √2, R = (M − S) / √2. Intensity: the bands above the last
// non-zero line of the right channel (per window in short blocks) take the left spectrum,
// weighted by the right channel's scale factor as intensity position: MPEG-1 tan(p π / 12),
// position 7 (and above) meaning none; MPEG-2/2.5 powers of 2^−1/4 or 2^−1/2
// (scalefac_compress & 1 of the right channel), the largest value of the band's slen meaning
// none. Where intensity does not apply, middle/side does when it is on.
//
// The band without a scale factor of its own (long 21, short 12 of each window; the main_data
// syntax of 11172-3 2.4.1.7 and 13818-3 2.4.1.7 sends none for it) has no intensity position of
// its own either: 2.4.3.4.9.3 positions each band by the right channel's scale factor of that
// band. It takes the position of the band below it (long 20, short 11 of the same window), also
// when that band lies below the intensity region, in MPEG-1 and MPEG-2/2.5 alike, as the ISO
// reference decoder and other decoders do; a position that is illegal there is illegal here.
// The layout of the bands follows the right channel's block type.
void Layer3ApplyStereo(Layer3Spectrum& left, Layer3Spectrum& right,
                       const Layer3GranuleInfo& rightGranule, const Layer3ScaleFactors& rightSf,
                       int modeExtension, int version, int rateRow);

} // namespace fz::mpa
