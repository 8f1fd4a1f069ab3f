#pragma once

// The body of Yuv422BlockCoder::Code as an inline function on a Yuv422BitWriter::Run, so that
// the scan encoder can keep the writer's state in registers across all blocks of an MCU row and
// the block coder's call disappears from the scan loop. Private to the encoder: include it
// from Yuv422BlockCoder.cpp and Yuv422ScanEncoder.cpp only.

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422BitWriter.h"
#include "fzdsp/jpeg/Yuv422BlockCoder.h"

#include <array>
#include <bit>
#include <cstdint>

namespace fz::blockcoding {
namespace {

// The mask in zigzag order, one row of the block at a time: kZigzagBits[v][b] holds bit k for
// every u set in b, k the zigzag position of (v, u). Eight lookups instead of moving the 64
// coefficients.
using ZigzagBits = std::array<std::array<std::uint64_t, 256>, 8>;
constexpr ZigzagBits MakeZigzagBits() {
    std::array<int, 64> zigzagOf{};
    for (int k = 0; k < 64; ++k)
        zigzagOf[annexk::kZigzagToNatural[static_cast<std::size_t>(k)]] = k;
    ZigzagBits table{};
    for (int v = 0; v < 8; ++v)
        for (int b = 0; b < 256; ++b)
            for (int u = 0; u < 8; ++u)
                if (b & (1 << u))
                    table[static_cast<std::size_t>(v)][static_cast<std::size_t>(b)] |=
                        std::uint64_t{1} << zigzagOf[static_cast<std::size_t>(v * 8 + u)];
    return table;
}
constexpr ZigzagBits kZigzagBits = MakeZigzagBits();

std::uint64_t ToZigzagOrder(std::uint64_t natural) {
    std::uint64_t zigzag = 0;
    for (std::size_t v = 0; v < 8; ++v)
        zigzag |= kZigzagBits[v][(natural >> (8 * v)) & 0xFF];
    return zigzag;
}

// T.81 F.1.2.1.1 and F.1.2.2.1: the size category of a value; its additional bits are the
// value, or value - 1 in that many bits when it is negative.
int CategoryOf(int value) {
    const int sign = value >> 31; // 0 or -1
    return std::bit_width(static_cast<unsigned>((value ^ sign) - sign));
}

// The same for a value known not to be zero: the index of its highest set bit plus 1.
int NonZeroCategoryOf(int value) {
    const int sign = value >> 31;
    // 31 - clz is the index of the highest set bit; as 31 ^ clz it is the bit scan itself.
    return (31 ^ __builtin_clz(static_cast<unsigned>((value ^ sign) - sign))) + 1;
}

// The Huffman code of length n followed by the additional bits of a value of that category
// c, as one (n + c)-bit code: code * 2^c + value for value > 0, and for value < 0
// code * 2^c + (value - 1 + 2^c) = (code + 1) * 2^c + value - 1. With sign = 0 or -1 both are
// ((code - sign) << c) + value + sign.
std::uint32_t CodeWithBits(std::uint32_t code, int category, int value) {
    const int sign = value >> 31;
    return ((code - static_cast<std::uint32_t>(sign)) << category) +
           static_cast<std::uint32_t>(value + sign);
}

// The most bytes one block can give: a DC code and its bits (at most 11 + 11), 63 AC codes
// with their bits (at most 16 + 10 each), three ZRLs (11 bits at most) and an EOB (4 bits at
// most) are 1697 bits, 213 bytes; stuffing at most doubles that, and the pending group of the
// accumulator adds 4.
inline constexpr std::size_t kMostBytesPerBlock = 2 * 213 + 4;

// An AC value of a category above 10 has no code in the Annex K tables: every run/size entry
// with such a size is empty, so an empty entry alone marks it.
constexpr bool SizesAbove10AreEmpty(const std::array<annexk::HuffmanCode, 256>& codes) {
    for (std::size_t symbol = 0; symbol < 256; ++symbol)
        if ((symbol & 0x0F) > 10 && codes[symbol].length != 0)
            return false;
    return true;
}
static_assert(SizesAbove10AreEmpty(annexk::kAcLuminanceCodes) &&
              SizesAbove10AreEmpty(annexk::kAcChrominanceCodes));

// Codes one block as Yuv422BlockCoder::Code does, into room for kMostBytesPerBlock bytes that
// the caller has reserved. Returns the number of values without a code, for the caller to
// report after the block.
[[gnu::always_inline]] inline int CodeBlock(Yuv422BitWriter::Run& bits,
                                            const std::int16_t* coefficients,
                                            std::uint64_t naturalNonZero,
                                            Yuv422ComponentCodes& component, bool lastBlock) {
    std::uint64_t nonZero = ToZigzagOrder(naturalNonZero);
    if (lastBlock)
        nonZero &= ~(std::uint64_t{1} << 63);

    // Values without a code are counted and reported after the block, so that the loop makes
    // no calls; nothing else reaches the diagnostics in between.
    int uncoded = 0;

    // F.1.2.1.3: the category's code, then its additional bits.
    const int dcValue = coefficients[0];
    const int difference = dcValue - component.predictor;
    component.predictor = dcValue;
    const int dcCategory = CategoryOf(difference);
    const annexk::HuffmanCode& dcCode = (*component.dc)[static_cast<std::size_t>(dcCategory)];
    if (dcCode.length == 0) {
        ++uncoded;
    } else {
        bits.PutCode(CodeWithBits(dcCode.bits, dcCategory, difference), dcCode.length + dcCategory);
    }

    // F.1.2.2: the non-zero AC coefficients found by their bits in the mask. AC values lie
    // within +-2048, so categories stay below 16 and the symbol below 256.
    const std::array<annexk::HuffmanCode, 256>& ac = *component.ac;
    const annexk::HuffmanCode zrl = ac[0xF0];
    std::uint64_t rest = nonZero >> 1; // bit k - 1 for zigzag position k
    int position = 0;                  // the last position coded
    while (rest != 0) {
        const int zeros = std::countr_zero(rest);
        position += zeros + 1;
        rest >>= zeros + 1; // zeros + 1 <= 63: the mask holds positions 1..63 only
        int run = zeros;
        for (; run > 15; run -= 16)
            bits.PutCode(zrl.bits, zrl.length);
        const int value =
            coefficients[annexk::kZigzagToNatural[static_cast<std::size_t>(position)]];
        const int category = NonZeroCategoryOf(value);
        const annexk::HuffmanCode& code = ac[static_cast<std::size_t>(run << 4 | category)];
        if (code.length == 0) {
            ++uncoded;
        } else {
            bits.PutCode(CodeWithBits(code.bits, category, value), code.length + category);
        }
    }
    if (position != 63)
        bits.PutCode(ac[0x00].bits, ac[0x00].length);
    return uncoded;
}

} // namespace
} // namespace fz::blockcoding
