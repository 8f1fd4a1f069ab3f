#pragma once

#include <cstddef>
#include <cstdint>

namespace fz::dsp {

// The audio filter's sample arithmetic on little-endian PCM. Buffers belong to the caller and
// may be unaligned; none of these allocate.

// Widens `count` bytes of 8-bit unsigned PCM to 16 bits: b becomes (b - 128) x 256. `out`
// holds 2 x count bytes.
void WidenPcm8To16(const std::uint8_t* in, std::size_t count, std::uint8_t* out);

// The byte count of 16-bit PCM after the channel step for `inBytes` bytes of input:
//   input channels equal to output channels: the same bytes;
//   one output channel: one sample per pair of input samples;
//   otherwise (two output channels from one, or from more than two): every input sample
//   twice.
// Only whole samples (pairs for the pairing) count.
std::size_t ChannelStepLength(std::size_t inBytes, int inChannels, int outChannels);

// Writes ChannelStepLength bytes to `out`: a copy, each pair (L, R) as (L + R) >> 1 (an
// arithmetic shift: rounding towards minus infinity), or each sample twice. `out` must not
// overlap `in`.
void ApplyChannelStep(const std::uint8_t* in, std::size_t inBytes, int inChannels, int outChannels,
                      std::uint8_t* out);

// Multiplies every 16-bit sample by 10^(gainDb / 20), truncating towards zero and limiting to
// -32768..32767. A gain of 0 leaves the samples untouched.
void ApplyGain(std::uint8_t* samples, std::size_t bytes, int gainDb);

} // namespace fz::dsp
