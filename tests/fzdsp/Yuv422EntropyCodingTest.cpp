// The bit writer and the block coder of the YUV422 encoder against a model written straight
// from the rules: bits one at a time, coefficients one at a time in zigzag order.

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422BitWriter.h"
#include "fzdsp/jpeg/Yuv422BlockCoder.h"
#include "platform/log/Diagnostics.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace fz {
namespace {

// One bit at a time: a completed 0xFF byte is followed by 0x00; the end as Finish documents it.
class ModelBits {
public:
    void Put(std::uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_byte = (m_byte << 1) | ((bits >> i) & 1);
            if (++m_count == 8) {
                m_out.push_back(static_cast<std::uint8_t>(m_byte));
                if (m_byte == 0xFF)
                    m_out.push_back(0x00);
                m_byte = 0;
                m_count = 0;
            }
        }
    }
    int Pending() const { return static_cast<int>(m_out.size() % 4) * 8 + m_count; }
    std::vector<std::uint8_t> Finish() {
        const int pending = Pending();
        if (m_count > 0)
            m_out.push_back(
                static_cast<std::uint8_t>((m_byte << (8 - m_count)) | ((1u << (8 - m_count)) - 1)));
        else if (pending == 0)
            m_out.push_back(0xFF);
        if (pending > 16)
            m_out.push_back(0xFF);
        while (m_out.size() % 4 != 2)
            m_out.push_back(0xFF);
        m_out.push_back(0xFF);
        m_out.push_back(0xD9);
        return m_out;
    }

private:
    std::vector<std::uint8_t> m_out;
    std::uint32_t m_byte = 0;
    int m_count = 0;
};

// Long random streams rich in 1 bits, so that 0xFF bytes and stuffed zeros fall at every place
// of the groups of four; the writer starts on a vector that already holds a header.
TEST(Yuv422BitWriterStreamTest, EqualsTheBitByBitModel) {
    std::mt19937 random(21);
    for (int stream = 0; stream < 300; ++stream) {
        const std::size_t headerBytes = 4 * (stream % 3);
        std::pmr::vector<std::uint8_t> out(headerBytes, 0xAB);
        Yuv422BitWriter writer(out);
        ModelBits model;
        const int puts = static_cast<int>(random() % 400);
        for (int i = 0; i < puts; ++i) {
            const int count = static_cast<int>(random() % 33);
            std::uint32_t bits = random();
            if (random() % 2)
                bits |= random() | random(); // mostly ones
            writer.PutBits(bits, count);
            model.Put(bits, count);
            if (i % 37 == 0) {
                ASSERT_EQ(writer.PendingBits(), model.Pending()) << stream << " " << i;
            }
        }
        ASSERT_EQ(writer.PendingBits(), model.Pending()) << stream;
        writer.Finish();
        const std::vector<std::uint8_t> expected = model.Finish();
        ASSERT_EQ(out.size(), headerBytes + expected.size()) << stream;
        ASSERT_EQ(
            std::vector<std::uint8_t>(out.begin() + static_cast<long>(headerBytes), out.end()),
            expected)
            << stream;
    }
}

// The block coding as T.81 F.1.2 reads, coefficient by coefficient.
class ModelBlockCoder {
public:
    explicit ModelBlockCoder(ModelBits& bits)
        : m_bits(bits) {}
    int errors = 0;

    void Code(const std::array<std::int16_t, 64>& natural, int& predictor, bool luminance,
              bool lastBlock) {
        const auto& dc = luminance ? annexk::kDcLuminanceCodes : annexk::kDcChrominanceCodes;
        const auto& ac = luminance ? annexk::kAcLuminanceCodes : annexk::kAcChrominanceCodes;
        std::array<int, 64> zigzag;
        for (std::size_t k = 0; k < 64; ++k)
            zigzag[k] = natural[annexk::kZigzagToNatural[k]];
        if (lastBlock)
            zigzag[63] = 0;
        const int difference = zigzag[0] - predictor;
        predictor = zigzag[0];
        const int dcCategory = Category(difference);
        if (dc[static_cast<std::size_t>(dcCategory)].length == 0) {
            ++errors;
        } else {
            Put(dc[static_cast<std::size_t>(dcCategory)]);
            m_bits.Put(Additional(difference, dcCategory), dcCategory);
        }
        int run = 0;
        for (std::size_t k = 1; k < 64; ++k) {
            if (zigzag[k] == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16)
                Put(ac[0xF0]);
            const int category = Category(zigzag[k]);
            const auto& code = ac[static_cast<std::size_t>((run << 4 | category) & 0xFF)];
            if (code.length == 0 || category > 10) {
                ++errors;
            } else {
                Put(code);
                m_bits.Put(Additional(zigzag[k], category), category);
            }
            run = 0;
        }
        if (run > 0)
            Put(ac[0x00]);
    }

private:
    static int Category(int value) {
        int category = 0;
        for (int magnitude = value < 0 ? -value : value; magnitude != 0; magnitude >>= 1)
            ++category;
        return category;
    }
    static std::uint32_t Additional(int value, int category) {
        return static_cast<std::uint32_t>(value < 0 ? value - 1 : value) & ((1u << category) - 1);
    }
    void Put(const annexk::HuffmanCode& code) { m_bits.Put(code.bits, code.length); }

    ModelBits& m_bits;
};

// Sparse blocks with long zero runs (ZRL, runs of 32 and more), a non-zero last coefficient,
// values of every category up to 12 (above 10 an AC value has no code, a DC difference above
// 11 neither) and an empty picture's last block.
TEST(Yuv422BlockCoderTest, EqualsTheCoefficientByCoefficientModel) {
    int errorLines = 0;
    const DiagnosticsSink previous = SetDiagnosticsSink([&errorLines](std::string_view text) {
        if (text == "Error found in Huffman encoding !\n")
            ++errorLines;
    });
    std::mt19937 random(31);
    std::pmr::vector<std::uint8_t> out;
    Yuv422BitWriter writer(out);
    Yuv422BlockCoder coder(writer);
    ModelBits modelBits;
    ModelBlockCoder model(modelBits);
    Yuv422ComponentCodes components[3] = {
        {&annexk::kDcLuminanceCodes, &annexk::kAcLuminanceCodes},
        {&annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes},
        {&annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes}};
    int modelPredictors[3] = {0, 0, 0};
    const int blocks = 4000;
    for (int b = 0; b < blocks; ++b) {
        std::array<std::int16_t, 64> natural{};
        const int density = static_cast<int>(random() % 5);
        for (std::int16_t& value : natural) {
            if (density == 0 || random() % (density * 6) != 0)
                continue;
            const int category = static_cast<int>(random() % 12) + 1;
            const int low = 1 << (category - 1);
            int magnitude = low + static_cast<int>(random() % static_cast<std::uint32_t>(low));
            magnitude = std::min(magnitude, 2048);
            value = static_cast<std::int16_t>(random() % 2 ? magnitude : -magnitude);
        }
        if (b % 7 == 0)
            natural[63] = static_cast<std::int16_t>(random() % 2 ? 1 : -3);
        if (b % 11 == 0)
            natural[0] = static_cast<std::int16_t>(random() % 2 ? 2047 : -2048);
        std::uint64_t nonZero = 0;
        for (std::size_t i = 0; i < 64; ++i)
            nonZero |= static_cast<std::uint64_t>(natural[i] != 0) << i;
        const std::size_t c = static_cast<std::size_t>(b % 4 == 0 ? 0 : b % 4 - 1);
        const bool last = b == blocks - 1;
        coder.Code(natural.data(), nonZero, components[c], last);
        model.Code(natural, modelPredictors[c], c == 0, last);
        ASSERT_EQ(writer.PendingBits(), modelBits.Pending()) << b;
    }
    writer.Finish();
    SetDiagnosticsSink(previous);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), modelBits.Finish());
    EXPECT_EQ(errorLines, model.errors);
    EXPECT_GT(model.errors, 10);
}

} // namespace
} // namespace fz
