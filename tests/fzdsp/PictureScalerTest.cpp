#include "fzdsp/picture/PictureScaler.h"

#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/PictureCopy.h"
#include "tests/fzdsp/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <utility>

namespace fz {
namespace {

using test::Picture;
using test::RandomPicture;

BitmapInfoHeader Header(int width, int height, int bitCount) {
    BitmapInfoHeader header;
    header.width = width;
    header.height = height;
    header.bitCount = static_cast<std::uint16_t>(bitCount);
    return header;
}

// The output of a 24-bit and of the equivalent 32-bit source is the bilinear scaling of the
// widened source, packed back to 24 bits, behind a header that describes it.
TEST(PictureScalerTest, ScalesBothDepthsToAPacked24BitPicture) {
    const Picture source24 = RandomPicture(64, 48, 3, 11);
    Picture source32(64 * 48 * 4);
    UnpackRgb24To32(source32.data(), 64 * 4, source24.data(), 64 * 3, 64, 48);
    Picture scaled32(40 * 30 * 4);
    ScaleBilinear(source32.data(), 64, 48, scaled32.data(), 40, 30);
    Picture expected(40 * 30 * 3);
    PackRgb32To24(expected.data(), 40 * 3, scaled32.data(), 40 * 4, 40, 30);

    for (const auto& [bits, pixels] :
         {std::pair{24, source24.data()},
          std::pair{32, static_cast<const std::uint8_t*>(source32.data())}}) {
        CPictureScaler scaler;
        ASSERT_TRUE(scaler.SetSource(Header(64, 48, bits), pixels));
        const std::uint8_t* out = scaler.Scale(40, 30);
        ASSERT_NE(out, nullptr);
        BitmapInfoHeader header;
        std::memcpy(&header, out, sizeof header);
        EXPECT_EQ(header.size, 40u);
        EXPECT_EQ(header.width, 40);
        EXPECT_EQ(header.height, 30);
        EXPECT_EQ(header.bitCount, 24);
        EXPECT_EQ(header.sizeImage, 40u * 30 * 3);
        EXPECT_EQ(std::memcmp(out + 40, expected.data(), expected.size()), 0) << bits;
        EXPECT_EQ(scaler.OutputPixels(), out + 40);
    }
}

TEST(PictureScalerTest, RotateTurnsTheOutputAndItsHeader) {
    const Picture source = RandomPicture(16, 8, 3, 5);
    CPictureScaler scaler;
    ASSERT_TRUE(scaler.SetSource(Header(16, 8, 24), source.data()));
    ASSERT_NE(scaler.Scale(16, 8), nullptr);
    ASSERT_TRUE(scaler.Rotate(90));
    EXPECT_EQ(scaler.OutputHeader()->width, 8);
    EXPECT_EQ(scaler.OutputHeader()->height, 16);
    ASSERT_TRUE(scaler.Rotate(270));
    EXPECT_EQ(std::memcmp(scaler.OutputPixels(), source.data(), source.size()), 0);
    EXPECT_FALSE(scaler.Rotate(45));
}

TEST(PictureScalerTest, RefusesWhatItCannotScale) {
    const Picture source = RandomPicture(16, 8, 4, 5);
    CPictureScaler scaler;
    EXPECT_EQ(scaler.Scale(8, 8), nullptr);
    EXPECT_FALSE(scaler.Rotate(0));
    EXPECT_FALSE(scaler.SetSource(Header(16, 8, 16), source.data()));
    EXPECT_FALSE(scaler.SetSource(Header(16, -8, 32), source.data()));
    EXPECT_FALSE(scaler.SetSource(Header(0, 8, 32), source.data()));
    EXPECT_FALSE(scaler.SetSource(Header(16, 8, 32), nullptr));
    EXPECT_EQ(scaler.Scale(8, 8), nullptr);
    ASSERT_TRUE(scaler.SetSource(Header(16, 8, 32), source.data()));
    EXPECT_EQ(scaler.Scale(0, 8), nullptr);
    EXPECT_EQ(scaler.OutputHeader(), nullptr);
}

// Sizes from a hostile picture header, up to 2^31 - 1, are refused before anything is allocated
// (a std::vector asked for them would throw std::length_error or abort the sanitizer build).
TEST(PictureScalerTest, RefusesHostileSizesWithoutAllocating) {
    const Picture pixels = RandomPicture(16, 8, 4, 5);
    const int huge = std::numeric_limits<int>::max();
    const std::pair<int, int> sizes[] = {{huge, huge},   {huge, 1},      {1, huge},
                                         {65536, 65536}, {46341, 46341}, {1 << 20, 1 << 10}};
    for (const auto& [width, height] : sizes) {
        for (int bits : {24, 32}) {
            CPictureScaler scaler;
            EXPECT_FALSE(scaler.SetSource(Header(width, height, bits), pixels.data()))
                << width << " x " << height << " " << bits;
        }
        CPictureScaler scaler;
        ASSERT_TRUE(scaler.SetSource(Header(16, 8, 32), pixels.data()));
        EXPECT_EQ(scaler.Scale(width, height), nullptr) << width << " x " << height;
        EXPECT_EQ(scaler.OutputHeader(), nullptr);
        EXPECT_NE(scaler.Scale(8, 4), nullptr) << "still usable afterwards";
    }
}

} // namespace
} // namespace fz
