#include "fzdsp/Yuv422BlockCoder.h"

#include "platform/log/Diagnostics.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fz {
namespace {

// Bit k set where zigzag[k] is not zero.
std::uint64_t NonZeroMask(const std::int16_t (&zigzag)[64]) {
#if defined(__SSE2__)
    // Saturating packs keep zero and non-zero apart; each compare covers 16 positions.
    std::uint64_t zeros = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zigzag + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(zigzag + i + 8));
        const int bits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_packs_epi16(a, b), zero));
        zeros |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(bits)) << i;
    }
    return ~zeros;
#else
    std::uint64_t mask = 0;
    for (int k = 0; k < 64; ++k)
        mask |= static_cast<std::uint64_t>(zigzag[k] != 0) << k;
    return mask;
#endif
}

// T.81 F.1.2.1.1 and F.1.2.2.1: the size category of a value, and its code followed by the
// category's additional bits, negative values as value - 1 in that many bits.
struct Magnitude {
    int category;
    std::uint32_t bits;
};
Magnitude MagnitudeOf(int value) {
    const int sign = value >> 31; // 0 or -1
    const int category = std::bit_width(static_cast<unsigned>((value ^ sign) - sign));
    const std::uint32_t bits =
        static_cast<std::uint32_t>(value + sign) & ((std::uint32_t{1} << category) - 1);
    return {category, bits};
}

} // namespace

void Yuv422BlockCoder::Code(const std::int16_t* coefficients, Yuv422ComponentCodes& component,
                            bool lastBlock) {
    alignas(16) std::int16_t zigzag[64];
    for (std::size_t k = 0; k < 64; ++k)
        zigzag[k] = coefficients[annexk::kZigzagToNatural[k]];
    if (lastBlock)
        zigzag[63] = 0;

    // F.1.2.1.3: the category's code, then its additional bits.
    const Magnitude dc = MagnitudeOf(zigzag[0] - component.predictor);
    component.predictor = zigzag[0];
    const annexk::HuffmanCode& dcCode = (*component.dc)[static_cast<std::size_t>(dc.category)];
    if (dcCode.length == 0) {
        DebugPrint("Error found in Huffman encoding !\n");
    } else {
        m_bits.PutBits(static_cast<std::uint32_t>(dcCode.bits) << dc.category | dc.bits,
                       dcCode.length + dc.category);
    }

    // F.1.2.2: the non-zero AC coefficients found by their bits in the mask.
    const std::array<annexk::HuffmanCode, 256>& ac = *component.ac;
    std::uint64_t rest = NonZeroMask(zigzag) >> 1; // bit k - 1 for position k
    int position = 0;                              // the last position coded
    while (rest != 0) {
        const int zeros = std::countr_zero(rest);
        position += zeros + 1;
        rest >>= zeros + 1; // zeros + 1 <= 63: the mask holds positions 1..63 only
        int run = zeros;
        for (; run > 15; run -= 16)
            m_bits.PutBits(ac[0xF0].bits, ac[0xF0].length);
        const Magnitude m = MagnitudeOf(zigzag[position]);
        const annexk::HuffmanCode& code =
            ac[static_cast<std::size_t>((run << 4 | m.category) & 0xFF)];
        if (code.length == 0 || m.category > 10) {
            DebugPrint("Error found in Huffman encoding !\n");
        } else {
            m_bits.PutBits(static_cast<std::uint32_t>(code.bits) << m.category | m.bits,
                           code.length + m.category);
        }
    }
    if (position != 63)
        m_bits.PutBits(ac[0x00].bits, ac[0x00].length);
}

} // namespace fz
