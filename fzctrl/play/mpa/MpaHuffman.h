#pragma once

#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaHuffmanTables.h"
#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"

#include <array>
#include <cstdint>

namespace fz::mpa {

// Lookup tables derived from the codes of Table B.7: each code table is a tree of levels;
// a level indexed by the next few bits gives either a value and the bits it used, or the
// next level.
struct HuffmanDecodeTables {
    static constexpr int kPoolSize = 12288;
    static constexpr std::uint32_t kLink = 0x80000000u;

    // Entry: leaf = (value << 8) | bits used in this level; link = kLink | (offset << 8) | the
    // next level's width.
    std::array<std::uint32_t, kPoolSize> pool;
    std::array<std::uint32_t, kHuffmanCodeTables.size()> root; // link entries to the roots
    std::array<std::uint32_t, 64> count1A;                     // 6-bit lookup of table A
    int poolUsed;
};

// Builds the lookup tables from the code lists (called by Layer3BuildTables).
void HuffmanBuildDecodeTables(HuffmanDecodeTables& tables);

// Decodes one code of big_values code table `codeTable` (an index into kHuffmanCodeTables);
// returns x * 16 + y.
int HuffmanDecodePair(MpaBitReader& bits, int codeTable);

// Decodes one count1 quadruple (table A or B); returns 8 v + 4 w + 2 x + y.
int HuffmanDecodeQuad(MpaBitReader& bits, int count1TableSelect);

// Decodes the Huffman-coded part of one granule of one channel (ISO/IEC 11172-3 2.4.3.4.2,
// 2.4.2.7): the big_values pairs with their linbits and signs in regions 0..2, then count1
// quadruples until `part3EndBit`; a quadruple that ends past it is dropped. Every line after
// the last decoded one is zero. Returns the number of lines up to and including the last
// non-zero value. Reads nothing past the reader's end.
int HuffmanDecodeGranule(MpaBitReader& bits, const Layer3GranuleInfo& granule, int part3EndBit,
                         int (&values)[576]);

} // namespace fz::mpa
