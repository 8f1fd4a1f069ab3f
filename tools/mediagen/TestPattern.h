#pragma once

// The picture and sound content of generated clips, apart from any encoder.

#include <cstdint>

extern "C" {
struct AVFrame;
}

namespace fz::mediagen {

// Bits of the frame number drawn in the band at the bottom (numbers modulo 2^16).
inline constexpr int kFrameNumberBits = 16;

// Height in rows of the frame-number band at the bottom of a picture of this height.
int FrameNumberBandHeight(int height);

// Draws picture `index` into a YUV 4:2:0 planar frame of the frame's size: the colour ramp, the
// bar (moved by `index`) and the frame-number band; the whole picture white when `white`.
void DrawPicture(AVFrame& frame, std::int64_t index, bool white);

// The sound value (full scale ±1) at sample `index` of a clip at `sampleRate`: the tone, plus a
// 2-ms full-scale click starting at `clickSample` when that is not negative.
float SoundValue(std::int64_t index, int sampleRate, double toneHz, double amplitude,
                 std::int64_t clickSample);

} // namespace fz::mediagen
