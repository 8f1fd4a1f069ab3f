#pragma once

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422BitWriter.h"

#include <array>
#include <cstdint>

namespace fz {

// The Huffman coding of one component's blocks (T.81 F.1.2) with its DC and AC code tables.
struct Yuv422ComponentCodes {
    const std::array<annexk::HuffmanCode, 256>* dc;
    const std::array<annexk::HuffmanCode, 256>* ac;
    int predictor = 0; // T.81 F.1.2.1.1: the previous DC of the component, 0 at the start
};

// Codes quantised blocks into the bit writer, one after another in scan order.
class Yuv422BlockCoder {
public:
    explicit Yuv422BlockCoder(Yuv422BitWriter& bits)
        : m_bits(bits) {}

    // `coefficients`: the block's 64 quantised coefficients in natural order (8 * v + u), and
    // `naturalNonZero` the mask of those that are not zero (bit 8 * v + u), as the kernels'
    // transformBlock gives them. The block goes out in zigzag order (T.81 A.3.6):
    // the DC difference against the component's predictor, then the AC run/size symbols, a ZRL
    // for each run of 16 zeros before a non-zero coefficient, and EOB unless the last
    // coefficient is non-zero. In the picture's last block (`lastBlock`) the coefficient at
    // zigzag position 63 is cleared first, so that the data always ends with an EOB. A size
    // category without a code (a DC category above 11, an AC category above 10) writes
    // "Error found in Huffman encoding !\n" to the diagnostics and codes nothing for that value.
    void Code(const std::int16_t* coefficients, std::uint64_t naturalNonZero,
              Yuv422ComponentCodes& component, bool lastBlock);

private:
    Yuv422BitWriter& m_bits;
};

} // namespace fz
