#pragma once

#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaFrameHeader.h"
#include "fzctrl/play/mpa/MpaFrameRules.h"

#include <cstdint>

namespace fz::mpa {

// Layers I and II of the frame decoder (ISO/IEC 11172-3 2.4.1.5, 2.4.1.6, 2.4.3.2, 2.4.3.3; for
// the lower sampling frequencies ISO/IEC 13818-3 2.4.3.2). Both decode one complete frame of
// `frameSize` bytes starting at its header, never reading beyond it (a short frame decodes its
// missing bits as zeros), requantise into state.subbandSamples up to state.subbandLimit and run
// the synthesis filter into `pcm`: 384 (Layer I) or 1152 (Layer II) samples per channel,
// interleaved when the frame has two channels. The CRC is skipped, not checked.

// Layer I: 12 time slots of 32 subbands.
void DecodeLayer1(MpaDecoderState& state, const MpaFrameHeader& header, const std::uint8_t* frame,
                  int frameSize, std::int16_t* pcm);

// Layer II: 36 time slots; the allocation table follows from the frame's version, sample rate,
// bit rate and mode.
void DecodeLayer2(MpaDecoderState& state, const MpaFrameHeader& header, const std::uint8_t* frame,
                  int frameSize, std::int16_t* pcm);

// The first subband coded as intensity stereo (32: none).
inline int IntensityBound(const MpaFrameHeader& header) {
    // ISO/IEC 11172-3 2.4.2.3, "mode_extension" in Layers I and II: bound 4, 8, 12 or 16.
    return header.mode == 1 ? 4 * (header.modeExtension + 1) : 32;
}

} // namespace fz::mpa
