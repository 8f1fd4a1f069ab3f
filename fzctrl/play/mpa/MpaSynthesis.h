#pragma once

#include <cstdint>

namespace fz::mpa {

// The polyphase synthesis filter bank (ISO/IEC 11172-3 Annex A.2, Figure A.2) shared by the
// three layers. Subband samples are in units of full scale: 1.0 corresponds to 32768.
//
// Each time slot's 64-value vector V of the standard's FIFO is the 32-point DCT-II X of the
// subband samples folded out with signs (see MpaSynthesis.cpp), so only X is kept, in the two
// orders the window sums read it.
struct SynthesisState {
    // Ring of the last kRing slots per channel, newest at `offset`, older at offset + 1, ...
    // (mod kRing). Per slot: [0..15] = X[16 + j], [16..31] = X[16 - j] for j = 0..15. More
    // than the 16 slots the window spans are kept, so that a block of up to kRing - 16 slots
    // can be transformed before any of it is windowed.
    static constexpr int kRing = 32;
    alignas(32) float history[2][kRing][32];
    // X[0] of each slot of `history`.
    alignas(32) float first[2][kRing];
    int offset[2];
};

// Tables of the filter, built by MpaInit (SynthesisBuildTables) before the first Synthesize.
struct SynthesisTables {
    // Window of tap t (0..15) for output j: D[32t + j] of ISO/IEC 11172-3 Table B.3, times 32768.
    alignas(16) float window[16][32];
    // The same window arranged for the folded sums, signs included (tap t, lane j = 0..15):
    // `low` weighs the history lane j for output j, `high` for output 32 - j (lane 0 unused,
    // zero), `middle` weighs X[0] for output 16.
    alignas(32) float low[16][16];
    alignas(32) float high[16][16];
    alignas(32) float middle[16];
    // Butterfly factors 1 / (2 cos((2n + 1)π / 2N)) of the fast 32-point DCT, N = 32, 16, 8, 4, 2
    // one after the other (16 + 8 + 4 + 2 + 1 values).
    float dctFactors[31];
};

void SynthesisBuildTables(SynthesisTables& tables);

// Clears the history of both channels.
void SynthesisReset(SynthesisState& state);

// Turns `slots` time slots of 32 subband samples of one channel (subbands[slot][subband]) into
// 32 PCM samples each, limited to -32768..32767, slot after slot: sample j of slot s goes to
// pcm[(32 s + j) * stride] (stride 2 interleaves stereo). Uses the tables that MpaInit built and
// the kernel that SelectedSynthesisKernel chose; every kernel gives the portable one's result
// (up to the rounding of fused multiply-adds where the processor has them).
void SynthesizeSlots(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                     std::int16_t* pcm, int stride);

// One time slot: SynthesizeSlots with a single slot.
void Synthesize(SynthesisState& state, int channel, const float subbands[32], std::int16_t* pcm,
                int stride);

} // namespace fz::mpa
