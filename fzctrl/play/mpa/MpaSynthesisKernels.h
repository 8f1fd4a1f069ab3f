#pragma once

#include "fzctrl/play/mpa/MpaSynthesis.h"

#include <cstdint>

namespace fz::mpa {

// Implementations of SynthesizeSlots. The portable one is the reference; the SIMD ones give its
// results (SSE2 bit for bit; AVX2 up to the rounding of its fused multiply-adds) and exist only
// on x86-64. Each takes the tables from the decoder state and any number of slots.
struct SynthesisKernel {
    const char* name;
    void (*synthesize)(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                       std::int16_t* pcm, int stride, const SynthesisTables& tables);
};

const SynthesisKernel& PortableSynthesisKernel();
const SynthesisKernel* Sse2SynthesisKernel(); // nullptr where not built
const SynthesisKernel* Avx2SynthesisKernel(); // nullptr where not built

// The kernel decoding uses, chosen once per process: AVX2 when the processor runs it, else SSE2,
// else the portable one. The environment variable FRAMZEL_SIMD = 0 forces the portable kernel,
// = sse2 stops at SSE2.
const SynthesisKernel& SelectedSynthesisKernel();

} // namespace fz::mpa
