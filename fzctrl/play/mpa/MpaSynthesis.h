#pragma once

#include <cstdint>

namespace fz::mpa {

// The polyphase synthesis filter bank (ISO/IEC 11172-3 Annex A.2, Figure A.2) shared by the
// three layers. Subband samples are in units of full scale: 1.0 corresponds to 32768.
struct SynthesisState {
    // Per channel the last 16 vectors V of the standard's 1024-value FIFO (64 values each),
    // newest at `offset`, older ones at offset + 1, offset + 2, ... (mod 16).
    alignas(16) float history[2][16][64];
    int offset[2];
};

// Tables of the filter, built by MpaInit (SynthesisBuildTables) before the first Synthesize.
struct SynthesisTables {
    // Window of tap t (0..15) for output j: D[32t + j] of ISO/IEC 11172-3 Table B.3, times 32768.
    alignas(16) float window[16][32];
    // Butterfly factors 1 / (2 cos((2n + 1)π / 2N)) of the fast 32-point DCT, N = 32, 16, 8, 4, 2
    // one after the other (16 + 8 + 4 + 2 + 1 values).
    float dctFactors[31];
};

void SynthesisBuildTables(SynthesisTables& tables);

// Clears the history of both channels.
void SynthesisReset(SynthesisState& state);

// Turns 32 subband samples of one time slot of one channel into 32 PCM samples, limited to
// -32768..32767, written at pcm[0], pcm[stride], ... pcm[31 * stride] (stride 2 interleaves
// stereo). Uses the tables that MpaInit built.
void Synthesize(SynthesisState& state, int channel, const float subbands[32], std::int16_t* pcm,
                int stride);

} // namespace fz::mpa
