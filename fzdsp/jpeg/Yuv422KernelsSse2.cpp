// The YUV422 encoder's kernels on SSE2, the baseline of every x86-64 processor: the same
// integer arithmetic as the portable kernels, four 32-bit lanes per register.

#include "fzdsp/jpeg/Yuv422Kernels.h"

#if defined(__SSE2__)

#include "fzdsp/jpeg/Yuv422ColourConversion.h"
#include "fzdsp/jpeg/Yuv422ForwardDctKernel.h"

#include <emmintrin.h>

namespace fz {
namespace {

// Four 32-bit lanes, for the templates of Yuv422ForwardDctKernel.h. The block's eight lanes
// are taken as two independent halves, one after the other, so that one half's values fit in
// the sixteen registers.
struct Lanes4 {
    __m128i v;
};

#define FZ_SSE2_LANEWISE(op, intrinsic)                                                            \
    [[gnu::always_inline]] inline Lanes4 operator op(Lanes4 a, Lanes4 b) {                         \
        return {intrinsic(a.v, b.v)};                                                              \
    }
FZ_SSE2_LANEWISE(+, _mm_add_epi32)
FZ_SSE2_LANEWISE(-, _mm_sub_epi32)
FZ_SSE2_LANEWISE(|, _mm_or_si128)
#undef FZ_SSE2_LANEWISE

[[gnu::always_inline]] inline Lanes4 operator>>(Lanes4 a, int n) {
    return {_mm_srai_epi32(a.v, n)};
}
// k is always a power of two here (2, 4, 16384 or 1): a left shift by log2 k.
[[gnu::always_inline]] inline Lanes4 operator*(Lanes4 a, std::int32_t k) {
    return {_mm_slli_epi32(a.v, __builtin_ctz(static_cast<unsigned>(k)))};
}
[[gnu::always_inline]] inline Lanes4 operator&(Lanes4 a, std::int32_t k) {
    return {_mm_and_si128(a.v, _mm_set1_epi32(k))};
}
[[gnu::always_inline]] inline Lanes4 EqualMask(Lanes4 a, std::int32_t k) {
    return {_mm_cmpeq_epi32(a.v, _mm_set1_epi32(k))};
}
// a * k for a in -256..255 and k in 0..32767: pmaddwd of the lane's low half (a) by k plus its
// high half (sign bits) by 0.
[[gnu::always_inline]] inline Lanes4 MultiplySmall(Lanes4 a, std::int32_t k) {
    return {_mm_madd_epi16(a.v, _mm_set1_epi32(k))};
}

[[gnu::always_inline]] inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    const __m128i ab0 = _mm_unpacklo_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d);
    const __m128i ab2 = _mm_unpackhi_epi32(a, b);
    const __m128i cd2 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab0, cd0);
    b = _mm_unpackhi_epi64(ab0, cd0);
    c = _mm_unpacklo_epi64(ab2, cd2);
    d = _mm_unpackhi_epi64(ab2, cd2);
}

// Eight rows of eight lanes, lanes 0..3 in lo and 4..7 in hi: in[i] lane j becomes out[j]
// lane i, one 4 x 4 quarter at a time.
[[gnu::always_inline]] inline void Transpose8(const Lanes4 (&inLo)[8], const Lanes4 (&inHi)[8],
                                              Lanes4 (&outLo)[8], Lanes4 (&outHi)[8]) {
    for (int i = 0; i < 4; ++i) {
        outLo[i] = inLo[i];
        outLo[i + 4] = inHi[i];
        outHi[i] = inLo[i + 4];
        outHi[i + 4] = inHi[i + 4];
    }
    for (int quarter = 0; quarter < 8; quarter += 4) {
        Transpose4(outLo[quarter].v, outLo[quarter + 1].v, outLo[quarter + 2].v,
                   outLo[quarter + 3].v);
        Transpose4(outHi[quarter].v, outHi[quarter + 1].v, outHi[quarter + 2].v,
                   outHi[quarter + 3].v);
    }
}

// The low 32 bits of the lane-wise product, which are the same for signed and unsigned lanes.
[[gnu::always_inline]] inline __m128i MultiplyLow32(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// Quantise: (X m) >> 5 >> (13 + c) is one arithmetic shift by 18 + c (floor divisions by
// powers of two compose), then +1 and >> 1.
[[gnu::always_inline]] inline __m128i Quantise4(__m128i x, const std::int32_t* multipliers,
                                                __m128i shift) {
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(multipliers));
    const __m128i q = _mm_sra_epi32(MultiplyLow32(x, m), shift);
    return _mm_srai_epi32(_mm_add_epi32(q, _mm_set1_epi32(1)), 1);
}

std::uint64_t TransformBlockSse2(const std::uint8_t* samples, std::size_t stride,
                                 const std::int32_t* multipliers, int shiftCode,
                                 std::int16_t* coefficients) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    Lanes4 rowsLo[8];
    Lanes4 rowsHi[8];
    for (std::size_t row = 0; row < 8; ++row) {
        const __m128i bytes =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + row * stride));
        const __m128i words = _mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero), bias);
        rowsLo[row] = {_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16)};
        rowsHi[row] = {_mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16)};
    }
    // Horizontal pass: input index = column, lane = row (rows 0..3, then rows 4..7).
    Lanes4 xLo[8];
    Lanes4 xHi[8];
    Transpose8(rowsLo, rowsHi, xLo, xHi);
    Lanes4 horizontalLo[8];
    Lanes4 horizontalHi[8];
    dct::HorizontalTransform8(xLo, horizontalLo);
    dct::HorizontalTransform8(xHi, horizontalHi);
    // Vertical pass: input index = row, lane = horizontal frequency u (0..3, then 4..7).
    Transpose8(horizontalLo, horizontalHi, xLo, xHi);
    Lanes4 verticalLo[8];
    Lanes4 verticalHi[8];
    dct::Transform8<dct::DForm::kMasked, dct::Outputs::kSums>(xLo, verticalLo, 1);
    dct::Transform8<dct::DForm::kMasked, dct::Outputs::kSums>(xHi, verticalHi, 1);

    const __m128i shift = _mm_cvtsi32_si128(18 + shiftCode);
    __m128i rowWords[8];
    for (std::size_t v = 0; v < 8; ++v) {
        const __m128i lo =
            Quantise4(dct::FinalScaleOfSum(verticalLo[v]).v, multipliers + v * 8, shift);
        const __m128i hi =
            Quantise4(dct::FinalScaleOfSum(verticalHi[v]).v, multipliers + v * 8 + 4, shift);
        rowWords[v] = _mm_packs_epi32(lo, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coefficients + v * 8), rowWords[v]);
    }
    // Saturating packs keep zero and non-zero apart: one byte per coefficient, two rows per
    // compare.
    std::uint64_t zeros = 0;
    for (std::size_t v = 0; v < 8; v += 2) {
        const __m128i bytes = _mm_packs_epi16(rowWords[v], rowWords[v + 1]);
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero));
        zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(mask)) << (8 * v);
    }
    return ~zeros;
}

// Four pixels from 12 bytes (a 16-byte load), each in a 32-bit lane as B, G, R and the next
// pixel's B.
[[gnu::always_inline]] inline __m128i LoadFourPixels(const std::uint8_t* in) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i ab = _mm_unpacklo_epi32(x, _mm_srli_si128(x, 3));
    const __m128i cd = _mm_unpacklo_epi32(_mm_srli_si128(x, 6), _mm_srli_si128(x, 9));
    return _mm_unpacklo_epi64(ab, cd);
}

// Integer division by 256 truncating towards zero: negative numerators get 255 added first.
[[gnu::always_inline]] inline __m128i DivideBy256(__m128i x) {
    const __m128i roundUp = _mm_and_si128(_mm_srai_epi32(x, 31), _mm_set1_epi32(255));
    return _mm_srai_epi32(_mm_add_epi32(x, roundUp), 8);
}

struct FourPixels {
    __m128i y;  // 0..255
    __m128i cb; // Cb' per pixel, 0..255
    __m128i cr;
};

// The sums as pmaddwd computes them: the (B, R) pair and the (G, 0) pair of each lane, as
// 16-bit halves, times two coefficients each.
[[gnu::always_inline]] inline FourPixels ConvertFour(const std::uint8_t* in) {
    const __m128i p = LoadFourPixels(in);
    const __m128i byteMask = _mm_set1_epi32(0x00FF00FF);
    const __m128i br = _mm_and_si128(p, byteMask);
    const __m128i g = _mm_and_si128(_mm_srli_epi32(p, 8), _mm_set1_epi32(0xFF));
    const auto pair = [](int low, int high) {
        return _mm_set1_epi32(static_cast<std::int32_t>(
            (static_cast<std::uint32_t>(high) << 16) | (static_cast<std::uint32_t>(low) & 0xFFFF)));
    };
    const __m128i y =
        _mm_add_epi32(_mm_madd_epi16(br, pair(29, 77)), _mm_madd_epi16(g, pair(150, 0)));
    const __m128i cb =
        _mm_add_epi32(_mm_madd_epi16(br, pair(128, -43)), _mm_madd_epi16(g, pair(-85, 0)));
    const __m128i cr =
        _mm_add_epi32(_mm_madd_epi16(br, pair(-21, 128)), _mm_madd_epi16(g, pair(-107, 0)));
    const __m128i offset = _mm_set1_epi32(128);
    return {_mm_srli_epi32(y, 8), _mm_add_epi32(DivideBy256(cb), offset),
            _mm_add_epi32(DivideBy256(cr), offset)};
}

// Eight chroma values from the Cb' (or Cr') of sixteen pixels: the pairs' sums halved.
[[gnu::always_inline]] inline void
StorePairMeans(const FourPixels (&p)[4], __m128i FourPixels::*component, std::uint8_t* out) {
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i sums01 = _mm_madd_epi16(_mm_packs_epi32(p[0].*component, p[1].*component), ones);
    const __m128i sums23 = _mm_madd_epi16(_mm_packs_epi32(p[2].*component, p[3].*component), ones);
    const __m128i means = _mm_packs_epi32(_mm_srai_epi32(sums01, 1), _mm_srai_epi32(sums23, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(means, means));
}

void ConvertToYuv422Sse2(const std::uint8_t* pixels, int width, int height, std::uint8_t* luma,
                         std::uint8_t* cb, std::uint8_t* cr) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::uint8_t* end = pixels + rowBytes * static_cast<std::size_t>(height);
    const std::size_t chromaWidth = static_cast<std::size_t>(width) / 2;
    for (int i = 0; i < height; ++i) {
        const std::uint8_t* in = pixels + static_cast<std::size_t>(i) * rowBytes;
        const std::size_t planeRow = static_cast<std::size_t>(height - 1 - i);
        std::uint8_t* y = luma + planeRow * static_cast<std::size_t>(width);
        std::uint8_t* u = cb + planeRow * chromaWidth;
        std::uint8_t* v = cr + planeRow * chromaWidth;
        int x = 0;
        // Sixteen pixels per step; the last load reaches 4 bytes past the sixteenth pixel.
        for (; x + 16 <= width && in + 52 <= end; x += 16, in += 48) {
            const FourPixels p[4] = {ConvertFour(in), ConvertFour(in + 12), ConvertFour(in + 24),
                                     ConvertFour(in + 36)};
            const __m128i y01 = _mm_packs_epi32(p[0].y, p[1].y);
            const __m128i y23 = _mm_packs_epi32(p[2].y, p[3].y);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), _mm_packus_epi16(y01, y23));
            StorePairMeans(p, &FourPixels::cb, u + x / 2);
            StorePairMeans(p, &FourPixels::cr, v + x / 2);
        }
        if (x < width)
            ConvertToYuv422(in, width - x, 1, y + x, u + x / 2, v + x / 2);
    }
}

const Yuv422Kernels kSse2 = {"sse2", ConvertToYuv422Sse2, TransformBlockSse2};

} // namespace

const Yuv422Kernels* detail::BuiltSse2Yuv422Kernels() {
    return &kSse2;
}

} // namespace fz

#else

namespace fz {
const Yuv422Kernels* detail::BuiltSse2Yuv422Kernels() {
    return nullptr;
}
} // namespace fz

#endif
