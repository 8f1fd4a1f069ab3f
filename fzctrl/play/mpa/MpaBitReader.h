#pragma once

#include <cstddef>
#include <cstdint>

namespace fz::mpa {

// Reads a frame's fields most significant bit first (ISO/IEC 11172-3 2.1, "bitstream order").
// Never reads beyond the `size` bytes it is given: bits past the end read as zeros and set the
// overrun flag. The caller keeps the bytes alive while reading.
class MpaBitReader {
public:
    MpaBitReader(const std::uint8_t* data, int size, int startBit = 0)
        : m_data(data)
        , m_sizeBits(static_cast<std::int64_t>(size > 0 ? size : 0) * 8)
        , m_position(startBit) {}

    // Reads `bits` (0..25) bits as an unsigned number.
    std::uint32_t Read(int bits) {
        if (bits <= 0)
            return 0;
        std::uint32_t word = 0;
        const std::int64_t byte = m_position >> 3;
        const std::int64_t sizeBytes = m_sizeBits >> 3;
        if (byte + 4 <= sizeBytes) {
            word = static_cast<std::uint32_t>(m_data[byte]) << 24 |
                   static_cast<std::uint32_t>(m_data[byte + 1]) << 16 |
                   static_cast<std::uint32_t>(m_data[byte + 2]) << 8 |
                   static_cast<std::uint32_t>(m_data[byte + 3]);
        } else {
            for (std::int64_t i = 0; i < 4; ++i)
                word = word << 8 | (byte + i < sizeBytes ? m_data[byte + i] : 0u);
        }
        word <<= (m_position & 7);
        m_position += bits;
        if (m_position > m_sizeBits)
            m_overrun = true;
        return word >> (32 - bits);
    }

    bool Overrun() const { return m_overrun; }
    std::int64_t Position() const { return m_position; }

private:
    const std::uint8_t* m_data;
    std::int64_t m_sizeBits;
    std::int64_t m_position;
    bool m_overrun = false;
};

} // namespace fz::mpa
