#include "fzdsp/jpeg/Yuv422BitWriter.h"

#include <algorithm>

namespace fz {

Yuv422BitWriter::Yuv422BitWriter(std::pmr::vector<std::uint8_t>& output)
    : m_output(output)
    , m_start(output.size()) {
    m_cursor = m_output.data() + m_start;
    m_limit = m_cursor;
}

void Yuv422BitWriter::Grow(std::size_t room) {
    const std::size_t used = static_cast<std::size_t>(m_cursor - m_output.data());
    m_output.resize(std::max({used + room, m_output.size() * 2, std::size_t{4096}}));
    m_cursor = m_output.data() + used;
    m_limit = m_output.data() + m_output.size();
}

int Yuv422BitWriter::PendingBits() const {
    std::size_t bytes = static_cast<std::size_t>(m_cursor - m_output.data()) - m_start;
    for (int kept = m_bitCount - 8; kept >= 0; kept -= 8)
        bytes += ((m_accumulator >> kept) & 0xFF) == 0xFF ? 2 : 1;
    return static_cast<int>(bytes % 4) * 8 + m_bitCount % 8;
}

void Yuv422BitWriter::Finish() {
    const int pending = PendingBits();
    if (static_cast<std::size_t>(m_limit - m_cursor) < kMostBytesPerPut)
        Grow(kMostBytesPerPut);
    for (; m_bitCount >= 8; m_bitCount -= 8)
        m_cursor = PutByte(m_cursor, static_cast<std::uint8_t>(m_accumulator >> (m_bitCount - 8)));
    m_output.resize(static_cast<std::size_t>(m_cursor - m_output.data()));
    m_cursor = m_limit = nullptr;

    if (m_bitCount > 0) {
        const int padBits = 8 - m_bitCount;
        m_output.push_back(
            static_cast<std::uint8_t>((m_accumulator << padBits) | ((1u << padBits) - 1)));
    } else if (pending == 0) {
        m_output.push_back(0xFF);
    }
    m_bitCount = 0;
    m_accumulator = 0;
    if (pending > 16)
        m_output.push_back(0xFF);
    while ((m_output.size() - m_start) % 4 != 2)
        m_output.push_back(0xFF);
    m_output.push_back(0xFF);
    m_output.push_back(0xD9);
}

} // namespace fz
