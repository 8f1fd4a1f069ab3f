#pragma once

#include <cstdint>
#include <memory_resource>
#include <vector>

namespace fz {

// The bit packer of the YUV422 JPEG encoder's entropy-coded segment (T.81 F.1.2.3, B.1.1.5).
// Bits are packed most significant first; every completed byte equal to 0xFF is followed by a
// stuffed 0x00, which is a byte of output like any other. The encoder writes the output in
// groups of four bytes, so the pending bits at the end are those of the last incomplete group
// (stuffed bytes included) and of the partial byte.
class Yuv422BitWriter {
public:
    // The output belongs to the caller; bytes are appended to it.
    explicit Yuv422BitWriter(std::pmr::vector<std::uint8_t>& output);

    // Appends the low `count` bits of `bits` (count 0..24).
    void PutBits(std::uint32_t bits, int count);

    // Bits not yet in a complete group of four bytes: 0..31.
    int PendingBits() const;

    // Ends the data and the image. With r pending bits, the last partial byte is filled with 1
    // bits (a whole 0xFF when nothing is pending) and fill bytes 0xFF lead to the end-of-image
    // marker so that the output is a whole number of groups:
    //   r = 0..8    byte | pad, FF, FF, D9
    //   r = 9..16   byte 1, byte 2 | pad, FF, D9
    //   r = 17..24  bytes 1, 2, byte 3 | pad, FF, then FF, FF, FF, D9
    //   r = 25..31  bytes 1..3, byte 4 | pad, then FF, FF, FF, D9
    // A byte that becomes 0xFF only through the padding is not stuffed.
    void Finish();

private:
    void PutByte(std::uint8_t byte);

    std::pmr::vector<std::uint8_t>& m_output;
    std::uint32_t m_accumulator = 0; // the low m_bitCount bits are pending
    int m_bitCount = 0;              // 0..7 between calls
};

} // namespace fz
