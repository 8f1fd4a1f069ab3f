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

// The fastest of a codec's kernels that AllowedSimdLevel() permits. `sse2` and `avx2` are null
// when that version is not built or this processor does not run it. Codecs call it once and
// keep the choice.
template <class Kernel>
const Kernel& ChooseKernel(const Kernel& portable, const Kernel* sse2, const Kernel* avx2) {
    const SimdLevel level = AllowedSimdLevel();
    if (level >= SimdLevel::Avx2 && avx2)
        return *avx2;
    if (level >= SimdLevel::Sse2 && sse2)
        return *sse2;
    return portable;
}

} // namespace fz::cpu
