#include "fzctrl/play/mpa/MpaSynthesisKernels.h"

#if defined(__x86_64__)

#include "fzctrl/play/mpa/MpaSynthesisBlock.h"

namespace fz::mpa {

namespace {

// The window sums of the portable kernel, four lanes at a time in the same order of operations
// (a product, then a sum, tap after tap), so bit for bit the same.
void Sse2Synthesize(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                    std::int16_t* pcm, int stride, const SynthesisTables& tables) {
    auto window = [&tables](const float(*history)[32], const float* first, int newest,
                            float(&sums)[32]) {
        constexpr int kMask = SynthesisState::kRing - 1;
        __m128 low[4], high[4];
        for (int q = 0; q < 4; ++q)
            low[q] = high[q] = _mm_setzero_ps();
        float middle = 0.0f;
        for (int t = 0; t < 16; ++t) {
            const int index = (newest + t) & kMask;
            const float* value = history[index] + (t & 1) * 16;
            for (int q = 0; q < 4; ++q) {
                const __m128 v = _mm_load_ps(value + 4 * q);
                low[q] = _mm_add_ps(low[q], _mm_mul_ps(_mm_load_ps(tables.low[t] + 4 * q), v));
                high[q] = _mm_add_ps(high[q], _mm_mul_ps(_mm_load_ps(tables.high[t] + 4 * q), v));
            }
            middle += tables.middle[t] * first[index];
        }
        alignas(16) float reversed[16];
        for (int q = 0; q < 4; ++q) {
            _mm_store_ps(sums + 4 * q, low[q]);
            _mm_store_ps(reversed + 4 * q, high[q]);
        }
        sums[16] = middle;
        for (int j = 1; j < 16; ++j)
            sums[32 - j] = reversed[j];
    };
    synthesis_block::Synthesize(state, channel, subbands, slots, pcm, stride, tables, window);
}

const SynthesisKernel kSse2 = {"sse2", Sse2Synthesize};

} // namespace

const SynthesisKernel* Sse2SynthesisKernel() {
    return &kSse2;
}

} // namespace fz::mpa

#else

namespace fz::mpa {
const SynthesisKernel* Sse2SynthesisKernel() {
    return nullptr;
}
} // namespace fz::mpa

#endif
