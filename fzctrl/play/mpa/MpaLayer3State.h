#pragma once

#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"

#include <cstdint>

namespace fz::mpa {

// What Layer III keeps from frame to frame of one stream. The frame core embeds it in its
// process-wide state; Layer3Reset prepares it for a stream, Layer3DecodeFrame advances it.
struct Layer3State {
    // The bit reservoir: main data of this and earlier frames, oldest byte first, and the
    // write position.
    std::uint8_t reservoir[kReservoirBytes];
    int reservoirSize;

    // The second halves of the last IMDCT outputs, added to the next granule:
    // [channel][subband][time slot].
    alignas(16) float overlap[2][32][18];
    // Subbands of `overlap` that may be non-zero, per channel.
    int overlapSubbands[2];

    // MPEG-2/2.5 frames hold one granule; the index alternates 0, 1, 0, ... from frame to frame.
    int granuleIndex;

    // Spectral lines decoded (18 × the subband limit) and the subbands that carry them.
    int lineLimit;
    int subbandLimit;
};

} // namespace fz::mpa
