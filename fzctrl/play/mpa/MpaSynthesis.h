#pragma once

#include <cstdint>

namespace fz::mpa {

// The polyphase synthesis filter bank (ISO/IEC 11172-3 Annex A.2, Figure A.2) shared by the
// three layers. Subband samples are in units of full scale: 1.0 corresponds to 32768.
struct SynthesisState {
    // Filter history per channel; the layout is the filter's own business.
    alignas(16) float history[2][2][16 * 17];
    int offset[2];
};

// Clears the history of both channels.
void SynthesisReset(SynthesisState& state);

// Turns 32 subband samples of one time slot of one channel into 32 PCM samples, limited to
// -32768..32767, written at pcm[0], pcm[stride], ... pcm[31 * stride] (stride 2 interleaves
// stereo).
void Synthesize(SynthesisState& state, int channel, const float subbands[32], std::int16_t* pcm,
                int stride);

} // namespace fz::mpa
