#pragma once

#include <cstdint>

namespace fz::mpa {

// Reads bits most significant first (ISO/IEC 11172-3 2.1, "bitstream order") from a byte buffer
// whose data ends `endBit` bits after `data`: a Layer I/II frame, the Layer III side information
// or the Layer III bit reservoir. The one reader of the decoder, with one overrun contract: it
// never reads a byte at or beyond data[(endBit + 7) / 8], so a caller needs no readable bytes
// behind its data; bits at and after `endBit` read as zeros, and a read that goes past the end
// sets Overrun(). The caller keeps the bytes alive while reading. Away from the end a read is
// one 4-byte load; only the last four bytes take the byte-by-byte path.
class MpaBitReader {
public:
    MpaBitReader(const std::uint8_t* data, int endBit, int startBit = 0)
        : m_data(data)
        , m_endBit(endBit > 0 ? endBit : 0)
        , m_endByte((m_endBit + 7) >> 3)
        , m_pos(startBit < 0 ? 0 : startBit) {}

    int Position() const { return m_pos; }
    const std::uint8_t* Data() const { return m_data; }
    int EndBit() const { return m_endBit; }
    bool Overrun() const { return m_pos > m_endBit; }

    // Moves to an absolute bit position (clamped to the data).
    void Seek(int bitPos) { m_pos = bitPos < 0 ? 0 : bitPos < m_endBit ? bitPos : m_endBit; }

    // The next `count` bits (0..25) without consuming them.
    std::uint32_t Peek(int count) const {
        const int byte = m_pos >> 3;
        if (count > 0 && byte + 4 <= m_endByte && m_pos + count <= m_endBit) {
            const std::uint8_t* p = m_data + byte;
            const std::uint32_t word = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                                       (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
            return (word << (m_pos & 7)) >> (32 - count);
        }
        return PeekNearEnd(count);
    }

    void Skip(int count) { m_pos += count; }

    std::uint32_t Read(int count) {
        const std::uint32_t value = Peek(count);
        m_pos += count;
        return value;
    }

private:
    // Peek within the last four bytes or past the end: only bytes before m_endByte are read,
    // bits at and after m_endBit are zeros.
    [[gnu::noinline, gnu::cold]] std::uint32_t PeekNearEnd(int count) const {
        if (m_pos >= m_endBit || count <= 0) {
            return 0;
        }
        const int byte = m_pos >> 3;
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = word << 8 | (byte + i < m_endByte ? std::uint32_t{m_data[byte + i]} : 0u);
        }
        word <<= (m_pos & 7);
        const int left = m_endBit - m_pos;
        if (left < count) {
            word &= ~(0xFFFFFFFFu >> left);
        }
        return word >> (32 - count);
    }

    const std::uint8_t* m_data;
    int m_endBit;
    int m_endByte;
    int m_pos;
};

} // namespace fz::mpa
