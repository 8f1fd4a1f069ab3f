#include "fzdsp/picture/BilinearScaler.h"
#include "tests/fzdsp/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace fz {
namespace {

using test::Picture;
using test::RandomPicture;

Picture Scale(const Picture& source, int sw, int sh, int dw, int dh) {
    Picture out(static_cast<std::size_t>(dw) * dh * 4, 0xAA);
    ScaleBilinear(source.data(), sw, sh, out.data(), dw, dh);
    return out;
}

// A 32-bit picture of one row from a list of (blue, green, red) pixels.
Picture Row(std::initializer_list<std::array<std::uint8_t, 3>> pixels) {
    Picture row;
    for (const auto& p : pixels)
        row.insert(row.end(), {p[0], p[1], p[2], 0x55});
    return row;
}

std::array<int, 4> PixelAt(const Picture& picture, int width, int x, int y) {
    const std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The scaler written out channel by channel from its definition, without the shared lanes.
Picture ScaleByDefinition(const Picture& source, int sw, int sh, int dw, int dh) {
    const auto step = [](int s, int d) -> std::uint64_t {
        return d > 1 ? static_cast<std::uint64_t>((s - 1) * 4294967296.0 / (d - 1)) : 0;
    };
    Picture out(static_cast<std::size_t>(dw) * dh * 4);
    for (int j = 0; j < dh; ++j) {
        const std::uint64_t py = j * step(sh, dh);
        const int y = static_cast<int>(py >> 32);
        const int y1 = y + 1 < sh ? y + 1 : y;
        const int wy = static_cast<int>((py >> 28) & 15);
        for (int k = 0; k < dw; ++k) {
            const std::uint64_t px = k * step(sw, dw);
            const int x = static_cast<int>(px >> 32);
            const int x1 = x + 1 < sw ? x + 1 : x;
            const int wx = static_cast<int>((px >> 28) & 15);
            for (int channel = 0; channel < 3; ++channel) {
                const auto at = [&](int cx, int cy) {
                    return source[(static_cast<std::size_t>(cy) * sw + cx) * 4 + channel];
                };
                const int value = ((at(x, y) * (16 - wx) + at(x1, y) * wx) * (16 - wy) +
                                   (at(x, y1) * (16 - wx) + at(x1, y1) * wx) * wy) /
                                  256;
                out[(static_cast<std::size_t>(j) * dw + k) * 4 + channel] =
                    static_cast<std::uint8_t>(value);
            }
            out[(static_cast<std::size_t>(j) * dw + k) * 4 + 3] = 0;
        }
    }
    return out;
}

TEST(BilinearScalerTest, SameSizeIsACopy) {
    Picture source = RandomPicture(37, 23, 4, 7);
    for (std::size_t i = 3; i < source.size(); i += 4)
        source[i] = 0;
    EXPECT_EQ(Scale(source, 37, 23, 37, 23), source);
}

// 2 x 2 to 3 x 2: the middle column samples position 0.5 (weight 8) and gets
// (a x 8 + b x 8) / 16 of its row's pixels.
TEST(BilinearScalerTest, MiddlePixelOfTwoToThreeIsTheMean) {
    Picture source = Row({{10, 200, 0}, {21, 100, 255}});
    const Picture upper = Row({{0, 1, 2}, {255, 255, 255}});
    source.insert(source.end(), upper.begin(), upper.end());
    const Picture out = Scale(source, 2, 2, 3, 2);
    EXPECT_EQ(PixelAt(out, 3, 1, 0), (std::array<int, 4>{15, 150, 127, 0}));
    EXPECT_EQ(PixelAt(out, 3, 1, 1), (std::array<int, 4>{127, 128, 128, 0}));
    EXPECT_EQ(PixelAt(out, 3, 0, 0), (std::array<int, 4>{10, 200, 0, 0}));
    EXPECT_EQ(PixelAt(out, 3, 2, 1), (std::array<int, 4>{255, 255, 255, 0}));
}

// 4 to 3 columns: step 1.5, positions 0, 1.5 and 3; the last one has no right neighbour.
TEST(BilinearScalerTest, NeighbourBeyondTheLastColumnIsThePixelItself) {
    const Picture source = Row({{0, 0, 0}, {100, 16, 1}, {200, 48, 3}, {40, 80, 120}});
    const Picture out = Scale(source, 4, 1, 3, 1);
    EXPECT_EQ(PixelAt(out, 3, 1, 0), (std::array<int, 4>{150, 32, 2, 0}));
    EXPECT_EQ(PixelAt(out, 3, 2, 0), (std::array<int, 4>{40, 80, 120, 0}));
}

// 3 to 7: the step trunc(2 x 2^32 / 6) is 1431655765, so the last position is 2 - 2^-31:
// index 1, weight 15. The last column and the top row fall short of the source's last one.
TEST(BilinearScalerTest, TruncatedStepFallsShortOfTheLastSample) {
    const Picture row = Row({{0, 0, 0}, {0, 32, 64}, {160, 32, 0}});
    EXPECT_EQ(PixelAt(Scale(row, 3, 1, 7, 1), 7, 6, 0), (std::array<int, 4>{150, 32, 4, 0}));

    Picture column; // 1 x 3, bottom row first
    for (std::uint8_t blue : {0, 0, 160})
        column.insert(column.end(), {blue, 0, 0, 0});
    EXPECT_EQ(PixelAt(Scale(column, 1, 3, 1, 7), 1, 0, 6)[0], 150);
}

TEST(BilinearScalerTest, OneColumnOrRowSamplesTheFirst) {
    const Picture source = RandomPicture(5, 4, 4, 3);
    const Picture out = Scale(source, 5, 4, 1, 1);
    EXPECT_EQ(std::memcmp(out.data(), source.data(), 3), 0);
    EXPECT_EQ(out[3], 0);
}

class BilinearScalerSizesTest : public testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(BilinearScalerSizesTest, MatchesTheChannelByChannelDefinition) {
    const auto [sw, sh, dw, dh] = GetParam();
    const Picture source = RandomPicture(sw, sh, 4, static_cast<std::uint32_t>(sw * 7 + dh));
    const Picture expected = ScaleByDefinition(source, sw, sh, dw, dh);
    EXPECT_EQ(Scale(source, sw, sh, dw, dh), expected);
    Picture portable(expected.size());
    ScaleBilinearPortable(source.data(), sw, sh, portable.data(), dw, dh);
    EXPECT_EQ(portable, expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BilinearScalerSizesTest,
                         testing::Values(std::tuple{640, 480, 176, 144},
                                         std::tuple{320, 240, 160, 128},
                                         std::tuple{160, 128, 320, 240}, std::tuple{33, 17, 65, 31},
                                         std::tuple{7, 5, 3, 9}, std::tuple{1, 1, 4, 3},
                                         std::tuple{299, 1, 17, 1}));

} // namespace
} // namespace fz
