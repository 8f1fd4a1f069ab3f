// The bilinear scaler's row kernel on SSE2, the baseline of every x86-64 processor: four
// destination pixels at a time, each channel in a 16-bit lane. The sums are those of the
// portable code (BilinearBlend.h), channel by channel: a row pass below 4096 and a column pass
// below 65536, so 16-bit lanes hold them exactly and the results are identical.

#include "fzdsp/picture/BilinearScaler.h"

#if defined(__SSE2__)

#include <algorithm>
#include <cstring>

#include <emmintrin.h>

namespace fz {
namespace {

int Load32(const std::uint8_t* row, std::int32_t offset) {
    int value;
    std::memcpy(&value, row + offset, sizeof value);
    return value;
}

__m128i Gather4(const std::uint8_t* row, const std::int32_t* offsets) {
    return _mm_setr_epi32(Load32(row, offsets[0]), Load32(row, offsets[1]), Load32(row, offsets[2]),
                          Load32(row, offsets[3]));
}

// a * (16 - w) + b * w in each 16-bit lane.
__m128i Mix(__m128i a, __m128i b, __m128i w, __m128i sixteen) {
    return _mm_add_epi16(_mm_mullo_epi16(a, _mm_sub_epi16(sixteen, w)), _mm_mullo_epi16(b, w));
}

int ScaleRowSse2(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                 const BilinearColumnPlan& plan, int columns, int sourceBytesPerPixel,
                 std::uint8_t* out, int destinationBytesPerPixel) {
    (void)sourceBytesPerPixel; // the plan's offsets and wide-load run already account for it
    // A 3-byte pixel is stored as 4 bytes whose last the next pixel overwrites: the row's last
    // pixel is left to the caller.
    const int end =
        std::min(plan.wideLoadColumns, destinationBytesPerPixel == 3 ? columns - 1 : columns);
    const __m128i zero = _mm_setzero_si128();
    const __m128i sixteen = _mm_set1_epi16(16);
    const __m128i wy = _mm_set1_epi16(static_cast<short>(rowWeight));
    const __m128i keepColour = _mm_set1_epi32(0x00FFFFFF);
    int k = 0;
    for (; k + 4 <= end; k += 4) {
        const std::int32_t* offsets = plan.offsets.data() + k;
        const std::int32_t* nextOffsets = plan.nextOffsets.data() + k;
        const __m128i a = Gather4(lower, offsets);
        const __m128i b = Gather4(lower, nextOffsets);
        const __m128i c = Gather4(upper, offsets);
        const __m128i d = Gather4(upper, nextOffsets);
        const __m128i w =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(plan.weights.data() + k));
        const __m128i wLow = _mm_unpacklo_epi8(w, zero);
        const __m128i wHigh = _mm_unpackhi_epi8(w, zero);
        const __m128i lowerLow =
            Mix(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), wLow, sixteen);
        const __m128i lowerHigh =
            Mix(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), wHigh, sixteen);
        const __m128i upperLow =
            Mix(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero), wLow, sixteen);
        const __m128i upperHigh =
            Mix(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero), wHigh, sixteen);
        const __m128i low = _mm_srli_epi16(Mix(lowerLow, upperLow, wy, sixteen), 8);
        const __m128i high = _mm_srli_epi16(Mix(lowerHigh, upperHigh, wy, sixteen), 8);
        const __m128i pixels = _mm_and_si128(_mm_packus_epi16(low, high), keepColour);
        if (destinationBytesPerPixel == 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<std::size_t>(k) * 4),
                             pixels);
        } else {
            std::uint8_t* at = out + static_cast<std::size_t>(k) * 3;
            alignas(16) std::uint32_t lanes[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), pixels);
            for (int j = 0; j < 4; ++j)
                std::memcpy(at + j * 3, &lanes[j], 4);
        }
    }
    return k;
}

const BilinearScalerKernels kSse2 = {"sse2", ScaleRowSse2};

} // namespace

namespace detail {
const BilinearScalerKernels* BuiltSse2BilinearScalerKernels() {
    return &kSse2;
}
} // namespace detail

} // namespace fz

#else

namespace fz::detail {
const BilinearScalerKernels* BuiltSse2BilinearScalerKernels() {
    return nullptr;
}
} // namespace fz::detail

#endif
