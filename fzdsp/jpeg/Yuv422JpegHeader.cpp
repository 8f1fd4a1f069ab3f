#include "fzdsp/jpeg/Yuv422JpegHeader.h"

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"

#include <cassert>
#include <initializer_list>

namespace fz {
namespace {

class HeaderWriter {
public:
    explicit HeaderWriter(std::array<std::uint8_t, kYuv422HeaderBytes>& out)
        : m_out(out) {}

    void Bytes(std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t byte : bytes)
            Byte(byte);
    }
    void Byte(int value) { m_out[m_position++] = static_cast<std::uint8_t>(value); }
    void BigEndian16(int value) {
        Byte((value >> 8) & 0xFF);
        Byte(value & 0xFF);
    }
    void LittleEndian16(int value) {
        Byte(value & 0xFF);
        Byte((value >> 8) & 0xFF);
    }
    void Zeros(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            Byte(0);
    }
    template <std::size_t N>
    void Huffman(const annexk::HuffmanSpec<N>& table) {
        Byte(table.tableClassAndId);
        for (std::uint8_t count : table.bits)
            Byte(count);
        for (std::uint8_t value : table.values)
            Byte(value);
    }
    void Steps(int scale, QuantTable table) {
        for (std::uint8_t natural : annexk::kZigzagToNatural)
            Byte(DqtStep(scale, table, natural));
    }
    std::size_t Position() const { return m_position; }

private:
    std::array<std::uint8_t, kYuv422HeaderBytes>& m_out;
    std::size_t m_position = 0;
};

} // namespace

std::array<std::uint8_t, kYuv422HeaderBytes> BuildYuv422Header(int width, int height, int scale) {
    std::array<std::uint8_t, kYuv422HeaderBytes> header{};
    HeaderWriter out(header);
    out.Bytes({0xFF, 0xD8});

    // Frame parameter block.
    out.Bytes({0xFF, 0xFE});
    out.BigEndian16(36);
    out.Zeros(4 + 15);
    out.LittleEndian16(height);
    out.LittleEndian16(width);
    out.Byte(scale);
    out.Byte(0);
    out.Bytes({0x32, 0x12, 0x0B, 0x51, 0x04, 0x51, 0x04, 0x00, 0x00});
    assert(out.Position() == 40);

    out.Bytes({0xFF, 0xDB});
    out.BigEndian16(132);
    out.Byte(0x00);
    out.Steps(scale, QuantTable::kLuminance);
    out.Byte(0x01);
    out.Steps(scale, QuantTable::kChrominance);

    out.Bytes({0xFF, 0xFE});
    out.BigEndian16(5);
    out.Zeros(3);

    out.Bytes({0xFF, 0xC0});
    out.BigEndian16(17);
    out.Byte(8);
    out.BigEndian16(height);
    out.BigEndian16(width);
    out.Byte(3);
    out.Bytes({0x01, 0x21, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01});
    assert(out.Position() == 200);

    out.Bytes({0xFF, 0xC4});
    out.BigEndian16(2 + static_cast<int>(annexk::kDhtPayloadBytes));
    out.Huffman(annexk::kDcLuminance);
    out.Huffman(annexk::kDcChrominance);
    out.Huffman(annexk::kAcLuminance);
    out.Huffman(annexk::kAcChrominance);
    assert(out.Position() == 620);

    out.Bytes({0xFF, 0xFE});
    out.BigEndian16(4);
    out.Zeros(2);

    out.Bytes({0xFF, 0xDA});
    out.BigEndian16(12);
    out.Byte(3);
    out.Bytes({0x01, 0x00, 0x02, 0x11, 0x03, 0x11});
    out.Bytes({0x00, 0x3F, 0x00});
    assert(out.Position() == kYuv422HeaderBytes);
    return header;
}

} // namespace fz
