#pragma once

namespace fz::cpu {

// Vector instruction sets that the codecs' fast kernels are built for, in increasing order.
// Avx2 stands for AVX2 together with FMA (processors have both or neither in practice).
enum class SimdLevel { Portable, Sse2, Avx2 };

// True when this processor executes the level's instructions (Portable always is).
bool ProcessorRuns(SimdLevel level);

// The highest level the kernels may use: what the processor runs, capped by the environment
// variable FRAMZEL_SIMD ("0" keeps to the portable code, "sse2" stops at SSE2). Read on every
// call; callers choose their kernels once.
SimdLevel AllowedSimdLevel();

} // namespace fz::cpu
