// The bilinear scaler's row kernel on AVX2: eight destination pixels at a time, each channel in
// a 16-bit lane. The sums are those of the portable code
// (BilinearBlend.h), channel by channel: a row pass below 4096 and a column pass below 65536,
// so 16-bit lanes hold them exactly and the results are identical. This file is compiled for
// AVX2 and only called when the processor runs it.

#include "fzdsp/picture/BilinearScaler.h"

#if defined(__AVX2__)

#include <algorithm>
#include <cstring>

#include <immintrin.h>

namespace fz {
namespace {

int Load32(const std::uint8_t* row, std::int32_t offset) {
    int value;
    std::memcpy(&value, row + offset, sizeof value);
    return value;
}

// Eight pixels by plain loads: vpgatherdd is slower than eight loads on several processors
// (it is microcoded on AMD's), and the loads pair well with the arithmetic.
__m256i Gather8(const std::uint8_t* row, const std::int32_t* offsets) {
    return _mm256_setr_epi32(Load32(row, offsets[0]), Load32(row, offsets[1]),
                             Load32(row, offsets[2]), Load32(row, offsets[3]),
                             Load32(row, offsets[4]), Load32(row, offsets[5]),
                             Load32(row, offsets[6]), Load32(row, offsets[7]));
}

// a * (16 - w) + b * w in each 16-bit lane.
__m256i Mix(__m256i a, __m256i b, __m256i w, __m256i sixteen) {
    return _mm256_add_epi16(_mm256_mullo_epi16(a, _mm256_sub_epi16(sixteen, w)),
                            _mm256_mullo_epi16(b, w));
}

int ScaleRowAvx2(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                 const BilinearColumnPlan& plan, int columns, int sourceBytesPerPixel,
                 std::uint8_t* out, int destinationBytesPerPixel) {
    (void)sourceBytesPerPixel; // the plan's offsets and wide-load run already account for it
    // 3-byte pixels are stored as two 16-byte halves whose last 4 bytes the next pixels
    // overwrite: the row's last two pixels are left to the caller.
    const int end =
        std::min(plan.wideLoadColumns, destinationBytesPerPixel == 3 ? columns - 2 : columns);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i sixteen = _mm256_set1_epi16(16);
    const __m256i wy = _mm256_set1_epi16(static_cast<short>(rowWeight));
    const __m256i keepColour = _mm256_set1_epi32(0x00FFFFFF);
    // Per 128-bit half: the first three bytes of each of its four pixels, then zeros.
    const __m256i pack24 = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                            0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int k = 0;
    for (; k + 8 <= end; k += 8) {
        const std::int32_t* offsets = plan.offsets.data() + k;
        const std::int32_t* nextOffsets = plan.nextOffsets.data() + k;
        const __m256i a = Gather8(lower, offsets);
        const __m256i b = Gather8(lower, nextOffsets);
        const __m256i c = Gather8(upper, offsets);
        const __m256i d = Gather8(upper, nextOffsets);
        // Unpacking and packing both work within 128-bit halves, so the weights, unpacked the
        // same way, meet their pixels and the pack restores the order.
        const __m256i w =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(plan.weights.data() + k));
        const __m256i wLow = _mm256_unpacklo_epi8(w, zero);
        const __m256i wHigh = _mm256_unpackhi_epi8(w, zero);
        const __m256i lowerLow =
            Mix(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero), wLow, sixteen);
        const __m256i lowerHigh =
            Mix(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero), wHigh, sixteen);
        const __m256i upperLow =
            Mix(_mm256_unpacklo_epi8(c, zero), _mm256_unpacklo_epi8(d, zero), wLow, sixteen);
        const __m256i upperHigh =
            Mix(_mm256_unpackhi_epi8(c, zero), _mm256_unpackhi_epi8(d, zero), wHigh, sixteen);
        const __m256i low = _mm256_srli_epi16(Mix(lowerLow, upperLow, wy, sixteen), 8);
        const __m256i high = _mm256_srli_epi16(Mix(lowerHigh, upperHigh, wy, sixteen), 8);
        const __m256i pixels = _mm256_packus_epi16(low, high);
        if (destinationBytesPerPixel == 4) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + static_cast<std::size_t>(k) * 4),
                                _mm256_and_si256(pixels, keepColour));
        } else {
            const __m256i packed = _mm256_shuffle_epi8(pixels, pack24);
            std::uint8_t* at = out + static_cast<std::size_t>(k) * 3;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(packed));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 12),
                             _mm256_extracti128_si256(packed, 1));
        }
    }
    return k;
}

const BilinearScalerKernels kAvx2 = {"avx2", ScaleRowAvx2};

} // namespace

namespace detail {
const BilinearScalerKernels* BuiltAvx2BilinearScalerKernels() {
    return &kAvx2;
}
} // namespace detail

} // namespace fz

#else

namespace fz::detail {
const BilinearScalerKernels* BuiltAvx2BilinearScalerKernels() {
    return nullptr;
}
} // namespace fz::detail

#endif
