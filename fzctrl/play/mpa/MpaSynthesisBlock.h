#pragma once

// The block structure the x86 synthesis kernels share (included by MpaSynthesisSse2.cpp and
// MpaSynthesisAvx2.cpp only, each compiled for its instruction set): four time slots are
// transformed at once, one per SSE lane, then windowed one after the other by the kernel's
// window sum.

#include "fzctrl/play/mpa/MpaSynthesis.h"
#include "fzctrl/play/mpa/MpaSynthesisDct.h"

#include <emmintrin.h>

#include <cstdint>

namespace fz::mpa::synthesis_block {

// Internal linkage: each kernel's file is compiled for its own instruction set and keeps its own
// copy of these functions.
namespace {

// Limits and rounds 32 window sums as the portable kernel does (the operand order of max and
// min makes NaN give the lower limit) and writes them at pcm[0], pcm[stride], ...
inline void Limit(const float (&sums)[32], std::int16_t* pcm, int stride) {
    const __m128 lower = _mm_set1_ps(-32768.0f);
    const __m128 upper = _mm_set1_ps(32767.0f);
    const __m128 bias = _mm_set1_ps(32768.5f);
    const __m128i unbias = _mm_set1_epi32(32768);
    alignas(16) std::int16_t limited[32];
    for (int j = 0; j < 32; j += 8) {
        __m128i r[2];
        for (int h = 0; h < 2; ++h) {
            __m128 s = _mm_max_ps(_mm_load_ps(sums + j + 4 * h), lower);
            s = _mm_min_ps(s, upper);
            r[h] = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(s, bias)), unbias);
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(limited + j), _mm_packs_epi32(r[0], r[1]));
    }
    for (int j = 0; j < 32; ++j)
        pcm[j * stride] = limited[j];
}

// Transforms `slots` slots four at a time into the channel's history, then hands each slot
// to `window(history, first, newest, sums)`, which fills the 32 window sums of the slot whose
// vector sits at ring index `newest`.
template <typename Window>
void Synthesize(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                std::int16_t* pcm, int stride, const SynthesisTables& tables, Window window) {
    constexpr int kMask = SynthesisState::kRing - 1;
    alignas(16) static constexpr float kSilence[32] = {};
    float(*history)[32] = state.history[channel];
    float* first = state.first[channel];
    for (int start = 0; start < slots; start += 4) {
        const int count = slots - start < 4 ? slots - start : 4;
        const float* rows[4];
        int index[4];
        for (int s = 0; s < 4; ++s) {
            rows[s] = s < count ? subbands[start + s] : kSilence;
            index[s] = (state.offset[channel] - 1 - s) & kMask;
        }
        __m128 x[32];
        for (int k = 0; k < 32; k += 4) {
            __m128 r0 = _mm_loadu_ps(rows[0] + k), r1 = _mm_loadu_ps(rows[1] + k);
            __m128 r2 = _mm_loadu_ps(rows[2] + k), r3 = _mm_loadu_ps(rows[3] + k);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            x[k] = r0;
            x[k + 1] = r1;
            x[k + 2] = r2;
            x[k + 3] = r3;
        }
        __m128 X[32];
        SynthesisDct<__m128, 32>(x, X, tables.dctFactors);
        for (int j = 0; j < 16; j += 4) {
            __m128 a0 = X[16 + j], a1 = X[17 + j], a2 = X[18 + j], a3 = X[19 + j];
            _MM_TRANSPOSE4_PS(a0, a1, a2, a3);
            __m128 b0 = X[16 - j], b1 = X[15 - j], b2 = X[14 - j], b3 = X[13 - j];
            _MM_TRANSPOSE4_PS(b0, b1, b2, b3);
            const __m128 a[4] = {a0, a1, a2, a3};
            const __m128 b[4] = {b0, b1, b2, b3};
            for (int s = 0; s < count; ++s) {
                _mm_store_ps(history[index[s]] + j, a[s]);
                _mm_store_ps(history[index[s]] + 16 + j, b[s]);
            }
        }
        alignas(16) float zeroth[4];
        _mm_store_ps(zeroth, X[0]);
        for (int s = 0; s < count; ++s)
            first[index[s]] = zeroth[s];
        state.offset[channel] = index[count - 1];

        for (int s = 0; s < count; ++s) {
            alignas(32) float sums[32];
            window(history, first, index[s], sums);
            Limit(sums, pcm + (start + s) * 32 * stride, stride);
        }
    }
}

} // namespace

} // namespace fz::mpa::synthesis_block
