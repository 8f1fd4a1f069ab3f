// The vector kernels of the YUV422 encoder against the portable ones, and the identities the
// vector DCT is built on against the transform as defined.

#include "fzdsp/jpeg/Yuv422Kernels.h"
#include "fzdsp/jpeg/Yuv422ForwardDct.h"
#include "fzdsp/jpeg/Yuv422ForwardDctKernel.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "fzdsp/jpeg/Yuv422ScanEncoder.h"
#include "platform/log/Diagnostics.h"
#include "tests/fzdsp/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace fz {
namespace {

// --- the identities of Yuv422ForwardDctKernel.h, over the whole range they are used on ---

TEST(Yuv422DctIdentityTest, ShortJamShiftEqualsTheDefinition) {
    std::mt19937 random(11);
    for (int n = 1; n <= 4; ++n) {
        for (std::int32_t a = -70000; a <= 70000; ++a)
            ASSERT_EQ(JamShift(a, n), n == 1   ? dct::Jam<1>(a)
                                      : n == 2 ? dct::Jam<2>(a)
                                      : n == 3 ? dct::Jam<3>(a)
                                               : dct::Jam<4>(a))
                << a << " " << n;
        for (int i = 0; i < 100000; ++i) {
            const auto a = static_cast<std::int32_t>(random());
            ASSERT_EQ(JamShift(a, 2), dct::Jam<2>(a)) << a;
            ASSERT_EQ(JamShift(a, 4), dct::Jam<4>(a)) << a;
        }
    }
}

// Every sum of two level-shifted samples (-256..254) and every difference (-255..255).
TEST(Yuv422DctIdentityTest, HorizontalCascadesArePlainMultiples) {
    for (std::int32_t x = -256; x <= 255; ++x) {
        const std::int32_t s = dct::Half(x * 16384);
        ASSERT_EQ(s, x * 8192) << x;
        ASSERT_EQ(dct::Quarter(s), x * 2048) << x;
        ASSERT_EQ(dct::Half(s), x * 4096) << x;
        ASSERT_EQ(MultiplyA(s), dct::Jam<1>(3393 * x)) << x;
        ASSERT_EQ(MultiplyB(s), dct::Jam<1>(6945 * x)) << x;
        ASSERT_EQ(MultiplyC(s), dct::Jam<2>(9281 * x)) << x;
        ASSERT_EQ(MultiplyD(s), dct::Jam<2>(3259 * x)) << x;
    }
    for (std::int32_t sum = -1024; sum <= 1016; ++sum)
        ASSERT_EQ(dct::Jam<2>(sum * 2048), sum * 512) << sum;
}

TEST(Yuv422DctIdentityTest, HorizontalPassEqualsTheGeneralTransform) {
    std::mt19937 random(12);
    const auto check = [](const std::array<std::int32_t, 8>& row) {
        std::int32_t x[8];
        for (int i = 0; i < 8; ++i)
            x[i] = row[static_cast<std::size_t>(i)];
        std::int32_t general[8];
        std::int32_t folded[8];
        dct::Transform8(x, general, 16384);
        dct::HorizontalTransform8(x, folded);
        for (int i = 0; i < 8; ++i)
            ASSERT_EQ(folded[i], general[i]) << "output " << i;
    };
    for (int i = 0; i < 200000; ++i) {
        std::array<std::int32_t, 8> row;
        const int kind = i % 3;
        for (std::int32_t& value : row)
            value = kind == 0   ? static_cast<std::int32_t>(random() % 256) - 128
                    : kind == 1 ? ((random() & 1) ? 127 : -128)
                                : static_cast<std::int32_t>(random() % 5) - 2;
        check(row);
    }
}

// The vertical pass sees the horizontal outputs, which stay within +-2^20.
TEST(Yuv422DctIdentityTest, MaskedMulDEqualsMulD) {
    for (std::int32_t a = -(1 << 21); a <= (1 << 21); ++a)
        ASSERT_EQ(dct::MulDMasked(a), MultiplyD(a)) << a;
}

// The vertical pass sees the horizontal outputs, which stay within +-2^20.
TEST(Yuv422DctIdentityTest, SplitProductsEqualTheCascades) {
    for (std::int32_t a = -(1 << 21); a <= (1 << 21); ++a) {
        ASSERT_EQ(dct::MulASplit(a), dct::MulA(a)) << a;
        ASSERT_EQ(dct::MulBSplit(a), dct::MulB(a)) << a;
        ASSERT_EQ(dct::MulCSplit(a), dct::MulC(a)) << a;
        ASSERT_EQ(dct::MulDSplit(a), MultiplyD(a)) << a;
    }
}

// The vertical pass's sums stay within +-2^22.
TEST(Yuv422DctIdentityTest, FinalScaleOfTheSumEqualsFinalScaleOfTheOutput) {
    for (std::int32_t sum = -(1 << 23); sum <= (1 << 23); ++sum)
        ASSERT_EQ(dct::FinalScaleOfSum(sum), dct::FinalScale(dct::Jam<2>(sum))) << sum;
}

TEST(Yuv422DctIdentityTest, PictureMultipliersEqualTheTablesOfEveryScale) {
    const Yuv422QuantiserTables tables(std::pmr::get_default_resource());
    for (int scale = 0; scale <= kMaxScale; ++scale)
        for (QuantTable table : {QuantTable::kLuminance, QuantTable::kChrominance}) {
            const QuantMultipliers expected = tables.Multipliers(scale, table);
            const QuantMultipliers actual = PictureMultipliers(scale, table);
            ASSERT_EQ(actual.shiftCode, expected.shiftCode) << scale;
            ASSERT_EQ(actual.multiplier, expected.multiplier) << scale;
        }
}

// --- each vector path against the portable one ---

class Yuv422VectorKernelsTest : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        m_kernels = GetParam() == "sse2" ? Sse2Yuv422Kernels() : Avx2Yuv422Kernels();
        if (m_kernels == nullptr)
            GTEST_SKIP() << GetParam() << " kernels are not built or not run by this processor";
    }
    const Yuv422Kernels& Vector() const { return *m_kernels; }
    static const Yuv422Kernels& Portable() { return PortableYuv422Kernels(); }

private:
    const Yuv422Kernels* m_kernels = nullptr;
};

// Pixels of every kind: noise, saturated channels and the extremes of every sum.
test::Picture MixedPicture(int width, int height, std::uint32_t seed) {
    std::mt19937 random(seed);
    test::Picture picture(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < picture.size(); ++i) {
        const std::uint32_t r = random();
        picture[i] = (r >> 8) % 3 == 0 ? ((r & 1) ? 255 : 0) : static_cast<std::uint8_t>(r);
    }
    return picture;
}

// Odd sizes, and a picture that starts at an odd address and ends at the end of its buffer, so
// that a read past the last pixel is caught by the address sanitizer.
TEST_P(Yuv422VectorKernelsTest, ColourConversionEqualsThePortableOne) {
    const std::pair<int, int> sizes[] = {{2, 1},     {4, 3},     {14, 5},    {16, 8},
                                         {18, 7},    {30, 2},    {34, 1},    {46, 9},
                                         {176, 144}, {320, 240}, {640, 480}, {638, 3}};
    std::uint32_t seed = 1;
    for (const auto& [width, height] : sizes) {
        const test::Picture source = MixedPicture(width, height, seed++);
        std::vector<std::uint8_t> buffer(source.size() + 1);
        std::memcpy(buffer.data() + 1, source.data(), source.size());
        const std::uint8_t* pixels = buffer.data() + 1;
        const std::size_t lumaBytes = static_cast<std::size_t>(width) * height;
        std::vector<std::uint8_t> y(lumaBytes), cb(lumaBytes / 2), cr(lumaBytes / 2);
        std::vector<std::uint8_t> y0(lumaBytes), cb0(lumaBytes / 2), cr0(lumaBytes / 2);
        Vector().convertToYuv422(pixels, width, height, y.data(), cb.data(), cr.data());
        Portable().convertToYuv422(pixels, width, height, y0.data(), cb0.data(), cr0.data());
        EXPECT_EQ(y, y0) << width << "x" << height;
        EXPECT_EQ(cb, cb0) << width << "x" << height;
        EXPECT_EQ(cr, cr0) << width << "x" << height;
    }
}

// Blocks of every kind at every scale and both tables, at several strides and offsets.
TEST_P(Yuv422VectorKernelsTest, BlockTransformEqualsThePortableOne) {
    std::mt19937 random(5);
    const std::size_t strides[] = {8, 21, 640};
    std::vector<QuantMultipliers> quants;
    for (int scale = 0; scale <= kMaxScale; ++scale)
        for (QuantTable table : {QuantTable::kLuminance, QuantTable::kChrominance})
            quants.push_back(PictureMultipliers(scale, table));
    int blocks = 0;
    for (std::size_t stride : strides) {
        std::vector<std::uint8_t> plane(stride * 8 + 3);
        for (int kind = 0; kind < 7; ++kind)
            for (int repeat = 0; repeat < 12; ++repeat) {
                const std::size_t offset = random() % 4;
                for (std::size_t row = 0; row < 8; ++row)
                    for (std::size_t column = 0; column < 8; ++column) {
                        const std::uint32_t r = random();
                        std::uint8_t value = 0;
                        switch (kind) {
                        case 0:
                            value = static_cast<std::uint8_t>(r);
                            break;
                        case 1:
                            value = 0;
                            break;
                        case 2:
                            value = 255;
                            break;
                        case 3:
                            value = (row + column) % 2 ? 255 : 0;
                            break;
                        case 4:
                            value = (r & 1) ? 255 : 0;
                            break;
                        case 5:
                            value = static_cast<std::uint8_t>(row * 32 + column * 3);
                            break;
                        default:
                            value = static_cast<std::uint8_t>(126 + r % 4);
                            break;
                        }
                        plane[offset + row * stride + column] = value;
                    }
                const std::uint8_t* samples = plane.data() + offset;
                for (const QuantMultipliers& quant : quants) {
                    alignas(32) std::int16_t vector[64];
                    alignas(32) std::int16_t portable[64];
                    const std::uint64_t vectorMask = Vector().transformBlock(
                        samples, stride, quant.multiplier.data(), quant.shiftCode, vector);
                    const std::uint64_t portableMask = Portable().transformBlock(
                        samples, stride, quant.multiplier.data(), quant.shiftCode, portable);
                    for (std::size_t i = 0; i < 64; ++i)
                        ASSERT_EQ(vector[i], portable[i])
                            << "kind " << kind << " stride " << stride << " shift code "
                            << quant.shiftCode << " position " << i;
                    ASSERT_EQ(vectorMask, portableMask) << "kind " << kind;
                    ++blocks;
                }
            }
    }
    EXPECT_EQ(blocks, 3 * 7 * 12 * 256);
}

TEST_P(Yuv422VectorKernelsTest, EntropyCodedSegmentEqualsThePortableOne) {
    const std::tuple<int, int, int> cases[] = {{16, 8, 80},    {48, 24, 10},   {176, 144, 100},
                                               {320, 240, 80}, {640, 480, 50}, {336, 16, 0}};
    // Noise at the finest steps runs into values without a code; those lines do not matter.
    const DiagnosticsSink previous = SetDiagnosticsSink([](std::string_view) {});
    std::uint32_t seed = 40;
    for (const auto& [width, height, quality] : cases) {
        const test::Picture picture = MixedPicture(width, height, seed++);
        const int scale = QualityToScale(quality);
        std::pmr::vector<std::uint8_t> vector;
        std::pmr::vector<std::uint8_t> portable;
        EncodeYuv422Scan(Vector(), picture.data(), width, height, scale,
                         std::pmr::get_default_resource(), vector);
        EncodeYuv422Scan(Portable(), picture.data(), width, height, scale,
                         std::pmr::get_default_resource(), portable);
        EXPECT_EQ(vector, portable) << width << "x" << height << " quality " << quality;
        EXPECT_EQ(vector.size() % 4, 0u);
    }
    SetDiagnosticsSink(previous);
}

INSTANTIATE_TEST_SUITE_P(Paths, Yuv422VectorKernelsTest, testing::Values("sse2", "avx2"),
                         [](const testing::TestParamInfo<std::string>& param) {
                             return param.param;
                         });

} // namespace
} // namespace fz
