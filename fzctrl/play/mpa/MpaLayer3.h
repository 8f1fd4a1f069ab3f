#pragma once

#include "fzctrl/play/mpa/MpaFrameHeader.h"

#include <cstdint>

namespace fz::mpa {

// Layer III of the frame decoder (ISO/IEC 11172-3 2.4.3.4, 13818-3 2.4.3.4): side information,
// the bit reservoir, scale factors, Huffman decoding, requantisation, stereo processing,
// reordering, alias reduction, IMDCT with overlap-add and frequency inversion. Its output is
// subband samples for the shared synthesis filter.

// Size of the bit reservoir of main data carried over from earlier frames.
inline constexpr int kReservoirBytes = 8192;
// When the write position has passed this, the bytes still needed move to the start.
inline constexpr int kReservoirMoveThreshold = 6692;

struct Layer3State; // defined in MpaLayer3State.h (owned by the Layer III code)

// Builds the Layer III tables; called once by MpaInit (again when MpaInit runs again).
void Layer3BuildTables();

// Prepares a new stream: clears the overlap buffers, the reservoir and the granule index.
// `lineLimit` is the number of spectral lines to decode (18 × the subband limit, 558).
void Layer3Reset(Layer3State& state, int lineLimit);

// Subband samples of one frame: [channel][granule][time slot][subband]. MPEG-1 frames hold two
// granules; MPEG-2 and MPEG-2.5 frames one (always written to granule 0).
using Layer3Output = float[2][2][18][32];

enum class Layer3Result {
    Decoded,    // `out` holds the frame's granules (granuleCount of them)
    NoMainData, // the main data began before the oldest reservoir byte: no samples
};

// Decodes one complete frame of `frameSize` bytes starting at its header. Never reads beyond
// `frame + frameSize`; damaged side information or main data gives silence or garbage, never
// an out-of-bounds access.
Layer3Result Layer3DecodeFrame(Layer3State& state, const MpaFrameHeader& header,
                               const std::uint8_t* frame, int frameSize, Layer3Output& out,
                               int& granuleCount);

} // namespace fz::mpa
