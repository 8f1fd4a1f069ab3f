#pragma once

#include "fzctrl/convert/ResamplerState.h"

#include <cstdint>

namespace fz {

// A fixed-point bandlimited interpolator after J. O. Smith's band-limited interpolation
// algorithm: a lowpass impulse response held in a table (ResamplerTables.h), stepped at the
// output-to-input ratio, both wings summed around each output instant. The movie writer brings
// the audio filter's 16-bit PCM to 8000 Hz with it, one channel, block by block, on its own
// thread. Integer and 64-bit integer arithmetic only; no allocation: the history lives in the
// caller's ResamplerState.

// The size of a ResamplerState in bytes. With a state, also zeroes it.
int ResamplerSize(ResamplerState* state = nullptr);

// Prepares `state` for `inputRate` -> `outputRate` (Hz), one channel, and clears the history
// samples carried into the first block. Returns 0, or -1 (state unchanged) when a rate is not
// positive, `channels` is not 1, or the ratio is beyond what the fixed-point state and the
// 2048-sample history can serve (an input rate above about 144 times the output rate, or an
// output rate of 256 times the input rate or more).
int ResamplerSetup(ResamplerState* state, int inputRate, int outputRate, int channels);

// Resamples `count` samples of `input` into `output` with the gain of `gainIndex` (half
// decibels, limited to -24..24) and returns the number of output samples, or -1 when the block
// is refused. Contracts:
//  - Equal rates: no filtering and never a refusal. When the gain is not unity each sample s
//    becomes (gain x s) >> 12 (rounding towards minus infinity), saturated to 16 bits; the
//    result goes to `output` (which may be `input` itself) and `count` is returned.
//  - Different rates: a `count` above 1944, or one that with the carried history would not
//    fit the 2048-sample history (ratios above 6:1), is refused with -1 and nothing produced;
//    only the scale of the filter state changes. Otherwise at most
//    count x outputRate / inputRate + 1 samples are written to `output`, which must not overlap
//    `input`; the fractional position carries over to the next block.
int ResamplerProcess(ResamplerState* state, const std::int16_t* input, std::int16_t* output,
                     int count, int gainIndex);

} // namespace fz
