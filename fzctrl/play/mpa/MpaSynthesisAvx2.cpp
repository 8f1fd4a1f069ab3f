#include "fzctrl/play/mpa/MpaSynthesisKernels.h"

#if defined(__x86_64__) && defined(__AVX2__) && defined(__FMA__)

#include "fzctrl/play/mpa/MpaSynthesisBlock.h"

#include <immintrin.h>

namespace fz::mpa {

namespace {

// The window sums eight lanes at a time with fused multiply-adds: the same terms in the same
// order as the portable kernel, each product and sum rounded once instead of twice.
void Avx2Synthesize(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                    std::int16_t* pcm, int stride, const SynthesisTables& tables) {
    auto window = [&tables](const float(*history)[32], const float* first, int newest,
                            float(&sums)[32]) {
        constexpr int kMask = SynthesisState::kRing - 1;
        __m256 low0 = _mm256_setzero_ps(), low1 = low0, high0 = low0, high1 = low0;
        float middle = 0.0f;
        for (int t = 0; t < 16; ++t) {
            const int index = (newest + t) & kMask;
            const float* value = history[index] + (t & 1) * 16;
            const __m256 v0 = _mm256_load_ps(value);
            const __m256 v1 = _mm256_load_ps(value + 8);
            low0 = _mm256_fmadd_ps(_mm256_load_ps(tables.low[t]), v0, low0);
            low1 = _mm256_fmadd_ps(_mm256_load_ps(tables.low[t] + 8), v1, low1);
            high0 = _mm256_fmadd_ps(_mm256_load_ps(tables.high[t]), v0, high0);
            high1 = _mm256_fmadd_ps(_mm256_load_ps(tables.high[t] + 8), v1, high1);
            middle += tables.middle[t] * first[index];
        }
        alignas(32) float reversed[16];
        _mm256_store_ps(sums, low0);
        _mm256_store_ps(sums + 8, low1);
        _mm256_store_ps(reversed, high0);
        _mm256_store_ps(reversed + 8, high1);
        sums[16] = middle;
        for (int j = 1; j < 16; ++j)
            sums[32 - j] = reversed[j];
    };
    synthesis_block::Synthesize(state, channel, subbands, slots, pcm, stride, tables, window);
}

const SynthesisKernel kAvx2 = {"avx2", Avx2Synthesize};

} // namespace

const SynthesisKernel* Avx2SynthesisKernel() {
    return &kAvx2;
}

} // namespace fz::mpa

#else

namespace fz::mpa {
const SynthesisKernel* Avx2SynthesisKernel() {
    return nullptr;
}
} // namespace fz::mpa

#endif
