#include "fzdsp/Yuv422BitWriter.h"

namespace fz {

Yuv422BitWriter::Yuv422BitWriter(std::pmr::vector<std::uint8_t>& output)
    : m_output(output) {}

void Yuv422BitWriter::PutByte(std::uint8_t byte) {
    m_output.push_back(byte);
    if (byte == 0xFF)
        m_output.push_back(0x00);
}

void Yuv422BitWriter::PutBits(std::uint32_t bits, int count) {
    if (count == 0)
        return;
    m_accumulator = (m_accumulator << count) | (bits & ((1u << count) - 1));
    m_bitCount += count;
    while (m_bitCount >= 8) {
        m_bitCount -= 8;
        PutByte(static_cast<std::uint8_t>(m_accumulator >> m_bitCount));
    }
    m_accumulator &= (1u << m_bitCount) - 1;
}

int Yuv422BitWriter::PendingBits() const {
    return static_cast<int>(m_output.size() % 4) * 8 + m_bitCount;
}

void Yuv422BitWriter::Finish() {
    const int pending = PendingBits();
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
    while (m_output.size() % 4 != 2)
        m_output.push_back(0xFF);
    m_output.push_back(0xFF);
    m_output.push_back(0xD9);
}

} // namespace fz
