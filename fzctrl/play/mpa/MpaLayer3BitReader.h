#pragma once

#include <cstdint>

namespace fz::mpa {

// Reads bits most significant first from a byte buffer that ends `endBit` bits after `data`.
// Past the end it returns zeros and sets overrun(); it never touches a byte at or beyond
// data[(endBit + 7) / 8 + 3]. Callers keep three readable bytes after the end (their values
// do not matter: bits past the end are masked).
class Layer3BitReader {
public:
    Layer3BitReader(const std::uint8_t* data, int endBit)
        : m_data(data)
        , m_endBit(endBit) {}

    int Position() const { return m_pos; }
    const std::uint8_t* Data() const { return m_data; }
    int EndBit() const { return m_endBit; }
    bool Overrun() const { return m_pos > m_endBit; }

    // Moves to an absolute bit position (clamped to the end).
    void Seek(int bitPos) { m_pos = bitPos < m_endBit ? bitPos : m_endBit; }

    // The next `count` bits (0..24) without consuming them.
    std::uint32_t Peek(int count) const {
        if (m_pos >= m_endBit || count == 0) {
            return 0;
        }
        const std::uint8_t* p = m_data + (m_pos >> 3);
        std::uint32_t word = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                             (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
        word <<= (m_pos & 7);
        int left = m_endBit - m_pos;
        if (left < count) {
            word &= ~(0xFFFFFFFFu >> left);
        }
        return word >> (32 - count);
    }

    void Skip(int count) { m_pos += count; }

    std::uint32_t Read(int count) {
        std::uint32_t value = Peek(count);
        m_pos += count;
        return value;
    }

private:
    const std::uint8_t* m_data;
    int m_endBit;
    int m_pos = 0;
};

} // namespace fz::mpa
