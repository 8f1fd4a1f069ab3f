#include "fzdsp/picture/FrameGeometry.h"
#include "tests/fzdsp/PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

namespace fz {
namespace {

using test::CoordinatePicture;
using test::Picture;

const std::uint8_t* PixelAt(const PictureView& view, int x, int y) {
    return view.pixels + (static_cast<std::size_t>(y) * view.width + x) * 3;
}

bool IsBlack(const std::uint8_t* pixel) {
    return pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
}

TEST(FrameGeometryTest, TargetSizeRoundsUpToTheEncodersMultiple) {
    struct Case {
        int value;
        PictureFormat format;
        int expected;
    };
    const Case cases[] = {
        {150, PictureFormat::kYuv422Jpeg, 160},
        {100, PictureFormat::kYuv422Jpeg, 112},
        {150, PictureFormat::kLibraryJpeg, 152},
        {100, PictureFormat::kLibraryJpeg, 100},
        {160, PictureFormat::kYuv422Jpeg, 160},
        {1, PictureFormat::kLibraryJpeg, 4},
        {0, PictureFormat::kYuv422Jpeg, 0},
        // Rounding up would pass INT_MAX: the multiple below it instead of an overflow.
        {std::numeric_limits<int>::max(), PictureFormat::kYuv422Jpeg, 2147483632},
        {std::numeric_limits<int>::max() - 2, PictureFormat::kLibraryJpeg, 2147483644},
        {2147483632, PictureFormat::kYuv422Jpeg, 2147483632},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundTargetDimension(c.value, c.format), c.expected) << c.value;
}

struct CutCase {
    std::string name;
    int sourceWidth, sourceHeight;
    FrameGeometrySettings settings;
    int width, height, x, y; // kept rectangle
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.name;
}

class FrameGeometryCutTest : public testing::TestWithParam<CutCase> {};

TEST_P(FrameGeometryCutTest, KeepsTheExpectedRectangle) {
    const CutCase& c = GetParam();
    const Picture source = CoordinatePicture(c.sourceWidth, c.sourceHeight);
    GeometryCanvas canvas;
    const std::optional<PictureView> result = ApplyFrameGeometry(
        c.settings, PictureView{source.data(), c.sourceWidth, c.sourceHeight}, canvas);
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->width, c.width);
    ASSERT_EQ(result->height, c.height);
    const PictureView whole{source.data(), c.sourceWidth, c.sourceHeight};
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            ASSERT_EQ(std::memcmp(PixelAt(*result, x, y), PixelAt(whole, c.x + x, c.y + y), 3), 0)
                << "at " << x << ", " << y;
}

FrameGeometrySettings Settings(int tw, int th, VerticalCut cut, WidescreenCutoff wide, double top,
                               double bottom, FixedImageScale fixed) {
    FrameGeometrySettings s;
    s.scaleWidth = tw;
    s.scaleHeight = th;
    s.verticalCut = cut;
    s.widescreenCutoff = wide;
    s.topFraction = top;
    s.bottomFraction = bottom;
    s.fixedImageScale = fixed;
    return s;
}

constexpr auto kCutOn = VerticalCut::kOn;
constexpr auto kCutOff = VerticalCut::kOff;
constexpr auto kWideOn = WidescreenCutoff::kOn;
constexpr auto kWideOff = WidescreenCutoff::kOff;
constexpr auto kFixedOn = FixedImageScale::kOn;
constexpr auto kFixedOff = FixedImageScale::kOff;

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameGeometryCutTest,
    testing::Values(
        // trunc(240 / 128 x 160) = 300 columns from (320 - 300) / 2.
        CutCase{"VerticalCut4To3", 320, 240, Settings(160, 128, kCutOn, kWideOff, 0, 0, kFixedOff),
                300, 240, 10, 0},
        // 240 / 176 x 176 is 239.99999999999997 in double: 238 columns from column 41.
        CutCase{"VerticalCutQuotientFirst", 320, 240,
                Settings(176, 176, kCutOn, kWideOff, 0, 0, kFixedOff), 238, 240, 41, 0},
        // The kept width is limited to the source width.
        CutCase{"VerticalCutLimitedToSource", 200, 240,
                Settings(160, 128, kCutOn, kWideOff, 0, 0, kFixedOff), 200, 240, 0, 0},
        // top 60, bottom 24, 156 rows; trunc(160 / 128 x 156) = 195, made even 194.
        CutCase{"Widescreen", 320, 240, Settings(160, 128, kCutOn, kWideOn, 0.25, 0.1, kFixedOff),
                194, 156, 63, 24},
        // An odd kept height: 241 - 60 - 24 = 157 rows give 196 columns before it is made even.
        CutCase{"WidescreenWidthFromOddHeight", 320, 241,
                Settings(160, 128, kCutOn, kWideOn, 0.25, 0.1, kFixedOff), 196, 156, 62, 24},
        // trunc(320 / 160 x 80) = 160 rows: rows 40 to 199 remain.
        CutCase{"FixedScaleMiddleRows", 320, 240,
                Settings(160, 80, kCutOff, kWideOff, 0, 0, kFixedOn), 320, 160, 0, 40},
        CutCase{"FixedScaleSameHeight", 320, 240,
                Settings(160, 120, kCutOff, kWideOff, 0, 0, kFixedOn), 320, 240, 0, 0},
        CutCase{"Unchanged", 320, 240, Settings(160, 128, kCutOff, kWideOff, 0, 0, kFixedOff), 320,
                240, 0, 0},
        // Without the vertical cut the widescreen cut-off is ignored.
        CutCase{"WidescreenIgnoredWithoutCut", 320, 240,
                Settings(160, 128, kCutOff, kWideOn, 0.25, 0.1, kFixedOff), 320, 240, 0, 0},
        // The vertical cut takes precedence over the fixed image scale.
        CutCase{"CutBeforeFixedScale", 320, 240,
                Settings(160, 128, kCutOn, kWideOff, 0, 0, kFixedOn), 300, 240, 10, 0}),
    [](const testing::TestParamInfo<CutCase>& param) { return param.param.name; });

TEST(FrameGeometryTest, UnchangedPictureIsTheSourceItself) {
    const Picture source = CoordinatePicture(320, 240);
    GeometryCanvas canvas;
    const auto result =
        ApplyFrameGeometry(FrameGeometrySettings{}, PictureView{source.data(), 320, 240}, canvas);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->pixels, source.data());
}

// 320 x 180 at 160 x 128: 256 rows, the picture centred with 38 black rows each side; an odd
// difference puts the extra row at the top.
TEST(FrameGeometryTest, LetterboxCentresThePictureOnBlack) {
    struct Case {
        int sourceHeight;
        int below;
    };
    for (const Case c : {Case{180, 38}, Case{181, 37}}) {
        const Picture source = CoordinatePicture(320, c.sourceHeight);
        GeometryCanvas canvas;
        const auto result =
            ApplyFrameGeometry(Settings(160, 128, kCutOff, kWideOff, 0, 0, kFixedOn),
                               PictureView{source.data(), 320, c.sourceHeight}, canvas);
        ASSERT_TRUE(result.has_value());
        ASSERT_EQ(result->width, 320);
        ASSERT_EQ(result->height, 256);
        const PictureView whole{source.data(), 320, c.sourceHeight};
        for (int y = 0; y < 256; ++y) {
            const bool inPicture = y >= c.below && y < c.below + c.sourceHeight;
            for (int x = 0; x < 320; ++x) {
                if (inPicture)
                    ASSERT_EQ(
                        std::memcmp(PixelAt(*result, x, y), PixelAt(whole, x, y - c.below), 3), 0);
                else
                    ASSERT_TRUE(IsBlack(PixelAt(*result, x, y))) << "row " << y;
            }
        }
    }
}

// The canvas lives from frame to frame: the bars stay black, also when the same buffer held a
// cut picture of that size before.
TEST(FrameGeometryTest, LetterboxBarsStayBlackAcrossFrames) {
    GeometryCanvas canvas;
    std::uint8_t* earlier = canvas.Prepare(320, 256, GeometryCanvas::Use::kCut);
    ASSERT_NE(earlier, nullptr);
    std::memset(earlier, 0x7F, 320 * 256 * 3);
    const auto settings = Settings(160, 128, kCutOff, kWideOff, 0, 0, kFixedOn);
    for (std::uint32_t frame = 0; frame < 2; ++frame) {
        const Picture source = test::RandomPicture(320, 180, 3, frame + 1);
        const auto result =
            ApplyFrameGeometry(settings, PictureView{source.data(), 320, 180}, canvas);
        ASSERT_TRUE(result.has_value());
        for (int y : {0, 37, 218, 255})
            for (int x : {0, 160, 319})
                EXPECT_TRUE(IsBlack(PixelAt(*result, x, y))) << frame << ": " << x << ", " << y;
        EXPECT_EQ(std::memcmp(PixelAt(*result, 0, 38), source.data(), 320 * 180 * 3), 0);
    }
}

TEST(FrameGeometryTest, RefusesSettingsThatLeaveNoPicture) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const FrameGeometrySettings cases[] = {
        Settings(160, 128, kCutOn, kWideOn, 0.6, 0.4, kFixedOff),  // nothing left
        Settings(160, 128, kCutOn, kWideOn, -0.1, 0.0, kFixedOff), // more rows than the source
        Settings(160, 128, kCutOn, kWideOn, nan, 0.0, kFixedOff),
        Settings(160, 0, kCutOn, kWideOff, 0, 0, kFixedOff),
        Settings(0, 128, kCutOff, kWideOff, 0, 0, kFixedOn),
        Settings(1000000, 1, kCutOff, kWideOff, 0, 0, kFixedOn),  // 0 rows after truncation
        Settings(1, 10000000, kCutOff, kWideOff, 0, 0, kFixedOn), // rows beyond an int
        Settings(1, 100000, kCutOff, kWideOff, 0, 0, kFixedOn),   // a 30 GB letterbox canvas
    };
    const Picture source = CoordinatePicture(320, 240);
    for (const FrameGeometrySettings& settings : cases) {
        GeometryCanvas canvas;
        EXPECT_FALSE(
            ApplyFrameGeometry(settings, PictureView{source.data(), 320, 240}, canvas).has_value())
            << settings.scaleWidth << " x " << settings.scaleHeight << " " << settings.topFraction;
    }
    GeometryCanvas canvas;
    EXPECT_FALSE(ApplyFrameGeometry(FrameGeometrySettings{}, PictureView{}, canvas).has_value());
    // Sizes that a hostile picture header can reach are refused before anything is allocated.
    const int huge = std::numeric_limits<int>::max();
    EXPECT_EQ(canvas.Prepare(huge, huge, GeometryCanvas::Use::kCut), nullptr);
    EXPECT_EQ(canvas.Prepare(65535, 65535, GeometryCanvas::Use::kLetterbox), nullptr);
    EXPECT_EQ(canvas.Prepare(0, 10, GeometryCanvas::Use::kCut), nullptr);
    EXPECT_NE(canvas.Prepare(320, 240, GeometryCanvas::Use::kCut), nullptr);
}

} // namespace
} // namespace fz
