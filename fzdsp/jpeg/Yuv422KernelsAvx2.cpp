// The YUV422 encoder's kernels on AVX2: the same integer arithmetic as the portable kernels,
// one block row or column of eight 32-bit lanes per register. This file alone is compiled with
// -mavx2; it includes nothing that defines inline functions outside it, so that no AVX2 code
// can stand in for a shared inline function of the other files. The selector runs it only on
// processors that report AVX2.

#include "fzdsp/jpeg/Yuv422Kernels.h"

#if defined(__AVX2__)

#include "fzdsp/jpeg/Yuv422ColourConversion.h"
#include "fzdsp/jpeg/Yuv422ForwardDctKernel.h"

#include <immintrin.h>

namespace fz {
namespace {

struct Lanes8 {
    __m256i v;
};

#define FZ_AVX2_LANEWISE(op, intrinsic)                                                            \
    [[gnu::always_inline]] inline Lanes8 operator op(Lanes8 a, Lanes8 b) {                         \
        return {intrinsic(a.v, b.v)};                                                              \
    }
FZ_AVX2_LANEWISE(+, _mm256_add_epi32)
FZ_AVX2_LANEWISE(-, _mm256_sub_epi32)
FZ_AVX2_LANEWISE(|, _mm256_or_si256)
#undef FZ_AVX2_LANEWISE

[[gnu::always_inline]] inline Lanes8 operator>>(Lanes8 a, int n) {
    return {_mm256_srai_epi32(a.v, n)};
}
// k is always a power of two here (2, 4, 16384 or 1): a left shift by log2 k.
[[gnu::always_inline]] inline Lanes8 operator*(Lanes8 a, std::int32_t k) {
    return {_mm256_slli_epi32(a.v, __builtin_ctz(static_cast<unsigned>(k)))};
}
[[gnu::always_inline]] inline Lanes8 operator&(Lanes8 a, std::int32_t k) {
    return {_mm256_and_si256(a.v, _mm256_set1_epi32(k))};
}
[[gnu::always_inline]] inline Lanes8 EqualMask(Lanes8 a, std::int32_t k) {
    return {_mm256_cmpeq_epi32(a.v, _mm256_set1_epi32(k))};
}
// a * k for a in -256..255 and k in 0..32767: pmaddwd of the lane's low half (a) by k plus its
// high half (sign bits) by 0.
[[gnu::always_inline]] inline Lanes8 MultiplySmall(Lanes8 a, std::int32_t k) {
    return {_mm256_madd_epi16(a.v, _mm256_set1_epi32(k))};
}

// in[i] lane j becomes out[j] lane i: 2 x 2 transposes of 32-bit pairs, then of 64-bit pairs
// within each 128-bit half, then an exchange of the halves.
[[gnu::always_inline]] inline void Transpose8(const Lanes8 (&in)[8], Lanes8 (&out)[8]) {
    __m256i t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(in[i].v, in[i + 1].v);
        t[i + 1] = _mm256_unpackhi_epi32(in[i].v, in[i + 1].v);
    }
    __m256i u[8];
    for (int half = 0; half < 8; half += 4) {
        u[half + 0] = _mm256_unpacklo_epi64(t[half + 0], t[half + 2]);
        u[half + 1] = _mm256_unpackhi_epi64(t[half + 0], t[half + 2]);
        u[half + 2] = _mm256_unpacklo_epi64(t[half + 1], t[half + 3]);
        u[half + 3] = _mm256_unpackhi_epi64(t[half + 1], t[half + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        out[i] = {_mm256_permute2x128_si256(u[i], u[i + 4], 0x20)};
        out[i + 4] = {_mm256_permute2x128_si256(u[i], u[i + 4], 0x31)};
    }
}

// Quantise: (X m) >> 5 >> (13 + c) is one arithmetic shift by 18 + c (floor divisions by
// powers of two compose), then +1 and >> 1.
[[gnu::always_inline]] inline __m256i Quantise8(__m256i x, const std::int32_t* multipliers,
                                                __m128i shift) {
    const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(multipliers));
    const __m256i q = _mm256_sra_epi32(_mm256_mullo_epi32(x, m), shift);
    return _mm256_srai_epi32(_mm256_add_epi32(q, _mm256_set1_epi32(1)), 1);
}

std::uint64_t TransformBlockAvx2(const std::uint8_t* samples, std::size_t stride,
                                 const std::int32_t* multipliers, int shiftCode,
                                 std::int16_t* coefficients) {
    const __m256i bias = _mm256_set1_epi32(128);
    Lanes8 rows[8];
    for (std::size_t row = 0; row < 8; ++row) {
        const __m128i bytes =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + row * stride));
        rows[row] = {_mm256_sub_epi32(_mm256_cvtepu8_epi32(bytes), bias)};
    }
    // Horizontal pass: input index = column, lane = row.
    Lanes8 x[8];
    Transpose8(rows, x);
    Lanes8 horizontal[8];
    dct::HorizontalTransform8(x, horizontal);
    // Vertical pass: input index = row, lane = horizontal frequency u. Each output row is
    // quantised as soon as it is done, which keeps fewer rows in registers.
    Transpose8(horizontal, x);
    const __m128i shift = _mm_cvtsi32_si128(18 + shiftCode);
    __m256i quantised[8];
    dct::Transform8Each<dct::DForm::kMasked, dct::Outputs::kSums>(x, 1, [&](int v, Lanes8 sum) {
        quantised[v] = Quantise8(dct::FinalScaleOfSum(sum).v, multipliers + v * 8, shift);
    });
    __m256i rowPairs[4];
    for (std::size_t v = 0; v < 8; v += 2) {
        // packs works per 128-bit half: quarters 0, 2, 1, 3 put the two rows back in order.
        rowPairs[v / 2] = _mm256_permute4x64_epi64(
            _mm256_packs_epi32(quantised[v], quantised[v + 1]), _MM_SHUFFLE(3, 1, 2, 0));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(coefficients + v * 8), rowPairs[v / 2]);
    }
    // Saturating packs keep zero and non-zero apart: one byte per coefficient, four rows per
    // compare, put back in order after the per-half pack as above.
    const __m256i zero = _mm256_setzero_si256();
    std::uint64_t zeros = 0;
    for (std::size_t half = 0; half < 2; ++half) {
        const __m256i bytes =
            _mm256_permute4x64_epi64(_mm256_packs_epi16(rowPairs[2 * half], rowPairs[2 * half + 1]),
                                     _MM_SHUFFLE(3, 1, 2, 0));
        const int mask = _mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, zero));
        zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(mask)) << (32 * half);
    }
    return ~zeros;
}

// The colour conversion works on sixteen pixels in 16-bit lanes, pixels 0..7 in the low
// 128-bit half and 8..15 in the high one. 16 bits hold every sum: the Cb and Cr numerators lie
// within +-32640, and Y's within 0..65280 read as unsigned, so the products and sums may wrap
// on the way and still end exact.

// The byte shuffles that gather one channel of eight pixels (24 bytes) into 16-bit lanes, from
// two registers whose halves hold bytes 0..15 and bytes 8..23 of the eight pixels.
struct ChannelShuffle {
    alignas(32) std::int8_t fromFirst[32];
    alignas(32) std::int8_t fromSecond[32];
};
constexpr ChannelShuffle MakeChannelShuffle(int channel) {
    ChannelShuffle shuffle{};
    for (int half = 0; half < 2; ++half)
        for (int pixel = 0; pixel < 8; ++pixel) {
            const int at = 16 * half + 2 * pixel;
            const int offset = 3 * pixel + channel;
            shuffle.fromFirst[at] = static_cast<std::int8_t>(offset < 16 ? offset : -128);
            shuffle.fromSecond[at] = static_cast<std::int8_t>(offset >= 16 ? offset - 8 : -128);
            shuffle.fromFirst[at + 1] = -128; // zero high byte
            shuffle.fromSecond[at + 1] = -128;
        }
    return shuffle;
}
constexpr ChannelShuffle kBlueShuffle = MakeChannelShuffle(0);
constexpr ChannelShuffle kGreenShuffle = MakeChannelShuffle(1);
constexpr ChannelShuffle kRedShuffle = MakeChannelShuffle(2);

[[gnu::always_inline]] inline __m256i Channel(__m256i first, __m256i second,
                                              const ChannelShuffle& shuffle) {
    const __m256i a = _mm256_load_si256(reinterpret_cast<const __m256i*>(shuffle.fromFirst));
    const __m256i b = _mm256_load_si256(reinterpret_cast<const __m256i*>(shuffle.fromSecond));
    return _mm256_or_si256(_mm256_shuffle_epi8(first, a), _mm256_shuffle_epi8(second, b));
}

[[gnu::always_inline]] inline __m256i Load2x128(const std::uint8_t* low, const std::uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// trunc(n / 256) of 16-bit lanes: negative numerators get 255 added first.
[[gnu::always_inline]] inline __m256i DivideBy256(__m256i n) {
    const __m256i roundUp = _mm256_srli_epi16(_mm256_srai_epi16(n, 15), 8);
    return _mm256_srai_epi16(_mm256_add_epi16(n, roundUp), 8);
}

// The pairs' (Cb' + Cb'') / 2 in 32-bit lanes, from the truncated quotients t of sixteen
// pixels: Cb' = t + 128, so the pair gives (t' + t'') >> 1 plus 128.
[[gnu::always_inline]] inline __m256i PairMeans(__m256i quotients) {
    const __m256i sums = _mm256_madd_epi16(quotients, _mm256_set1_epi16(1));
    return _mm256_add_epi32(_mm256_srai_epi32(sums, 1), _mm256_set1_epi32(128));
}

void ConvertToYuv422Avx2(const std::uint8_t* pixels, int width, int height, std::uint8_t* luma,
                         std::uint8_t* cb, std::uint8_t* cr) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const std::size_t chromaWidth = static_cast<std::size_t>(width) / 2;
    // The factors as opaque registers: the compiler would otherwise expand each multiply by a
    // constant into longer chains of shifts and adds.
    const auto factor = [](int value) {
        __m256i lanes = _mm256_set1_epi16(static_cast<std::int16_t>(value));
        __asm__("" : "+x"(lanes));
        return lanes;
    };
    const __m256i k77 = factor(77), k150 = factor(150), k29 = factor(29), k43 = factor(43),
                  k85 = factor(85), k107 = factor(107), k21 = factor(21);
    for (int i = 0; i < height; ++i) {
        const std::uint8_t* in = pixels + static_cast<std::size_t>(i) * rowBytes;
        const std::size_t planeRow = static_cast<std::size_t>(height - 1 - i);
        std::uint8_t* y = luma + planeRow * static_cast<std::size_t>(width);
        std::uint8_t* u = cb + planeRow * chromaWidth;
        std::uint8_t* v = cr + planeRow * chromaWidth;
        int x = 0;
        // Sixteen pixels (48 bytes) per step, reading those bytes only.
        for (; x + 16 <= width; x += 16, in += 48) {
            const __m256i first = Load2x128(in, in + 24);
            const __m256i second = Load2x128(in + 8, in + 32);
            const __m256i b = Channel(first, second, kBlueShuffle);
            const __m256i g = Channel(first, second, kGreenShuffle);
            const __m256i r = Channel(first, second, kRedShuffle);

            const __m256i ySum = _mm256_add_epi16(
                _mm256_add_epi16(_mm256_mullo_epi16(r, k77), _mm256_mullo_epi16(g, k150)),
                _mm256_mullo_epi16(b, k29));
            const __m256i yWords = _mm256_srli_epi16(ySum, 8);
            const __m256i yBytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(yWords, yWords),
                                                            _MM_SHUFFLE(3, 1, 2, 0));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), _mm256_castsi256_si128(yBytes));

            const __m256i cbSum = _mm256_sub_epi16(
                _mm256_sub_epi16(_mm256_slli_epi16(b, 7), _mm256_mullo_epi16(r, k43)),
                _mm256_mullo_epi16(g, k85));
            const __m256i crSum = _mm256_sub_epi16(
                _mm256_sub_epi16(_mm256_slli_epi16(r, 7), _mm256_mullo_epi16(g, k107)),
                _mm256_mullo_epi16(b, k21));
            const __m256i cbMeans = PairMeans(DivideBy256(cbSum));
            const __m256i crMeans = PairMeans(DivideBy256(crSum));
            // Per half: Cb of four pairs, Cr of four pairs; as bytes, then the four 32-bit
            // groups Cb 0..3, Cb 4..7, Cr 0..3, Cr 4..7 in a row.
            const __m256i words = _mm256_packs_epi32(cbMeans, crMeans);
            const __m256i bytes = _mm256_permutevar8x32_epi32(
                _mm256_packus_epi16(words, words), _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
            const __m128i chroma = _mm256_castsi256_si128(bytes);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(u + x / 2), chroma);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(v + x / 2), _mm_srli_si128(chroma, 8));
        }
        if (x < width)
            ConvertToYuv422(in, width - x, 1, y + x, u + x / 2, v + x / 2);
    }
}

const Yuv422Kernels kAvx2 = {"avx2", ConvertToYuv422Avx2, TransformBlockAvx2};

} // namespace

const Yuv422Kernels* detail::BuiltAvx2Yuv422Kernels() {
    return &kAvx2;
}

} // namespace fz

#else

namespace fz {
const Yuv422Kernels* detail::BuiltAvx2Yuv422Kernels() {
    return nullptr;
}
} // namespace fz

#endif
