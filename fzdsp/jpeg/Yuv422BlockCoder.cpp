#include "fzdsp/jpeg/Yuv422BlockCoder.h"

#include "fzdsp/jpeg/Yuv422BlockCoding.h"
#include "platform/log/Diagnostics.h"

namespace fz {

void Yuv422BlockCoder::Code(const std::int16_t* coefficients, std::uint64_t naturalNonZero,
                            Yuv422ComponentCodes& component, bool lastBlock) {
    int uncoded = 0;
    {
        Yuv422BitWriter::Run bits(m_bits);
        bits.Reserve(blockcoding::kMostBytesPerBlock);
        uncoded = blockcoding::CodeBlock(bits, coefficients, naturalNonZero, component, lastBlock);
    }
    for (; uncoded > 0; --uncoded)
        DebugPrint("Error found in Huffman encoding !\n");
}

} // namespace fz
