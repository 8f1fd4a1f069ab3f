#include "fzctrl/play/CFrameImage.h"
#include "fzctrl/play/CPreviewDrawer.h"
#include "fzctrl/play/JpegFile.h"
#include "fzctrl/play/MovieFrameHandler.h"
#include "platform/ui/MessageBox.h"
#include "tests/play/PlayTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/fixtures/JpegFixture.h"
#include "tests/support/fixtures/MovieFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fz {
namespace {

using test::Rgb;

std::string WriteJpeg(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = test::WorkDir() / name;
    test::WriteBytes(path, bytes);
    return path.string();
}

bool NearBgr(const std::uint8_t* pixel, Rgb colour) {
    return std::abs(pixel[0] - colour.b) <= 6 && std::abs(pixel[1] - colour.g) <= 6 &&
           std::abs(pixel[2] - colour.r) <= 6;
}

// 175 pixels give rows of 525 bytes padded to 528; the odd height (5) keeps the middle row in
// place when the rows are turned bottom-up.
TEST(FrameImageTest, LoadsBottomUpBgrRowsPaddedToFourBytes) {
    const Rgb top{200, 40, 10};
    const Rgb bottom{10, 60, 220};
    CFrameImage image;
    ASSERT_EQ(image.LoadJpeg(WriteJpeg("two.jpg", test::MakeTwoColourJpeg(175, 5, top, bottom))),
              1);
    EXPECT_EQ(image.RowBytes(), 528u);
    EXPECT_EQ(image.Header().size, 40u);
    EXPECT_EQ(image.Header().width, 175);
    EXPECT_EQ(image.Header().height, 5);
    EXPECT_EQ(image.Header().bitCount, 24);
    EXPECT_EQ(image.Header().sizeImage, 175u * 5 * 3);
    const std::uint8_t* pixels = image.Pixels();
    // Picture rows 0 and 1 are `top`; rows 2..4 `bottom`. Stored bottom-up: buffer row 4 is
    // picture row 0.
    for (int x : {0, 87, 174}) {
        EXPECT_TRUE(NearBgr(pixels + 4 * 528 + 3 * x, top)) << x;
        EXPECT_TRUE(NearBgr(pixels + 0 * 528 + 3 * x, bottom)) << x;
    }
    // JPEG blocks blur the boundary a little; the middle row stays a bottom row, well away
    // from the top colour.
    EXPECT_FALSE(NearBgr(pixels + 2 * 528 + 3 * 87, top));
}

TEST(FrameImageTest, GrayscaleFramesComeOutGray) {
    CFrameImage image;
    ASSERT_EQ(image.LoadJpeg(WriteJpeg(
                  "gray.jpg", test::MakeJpeg(33, 17, {0, 140, 0}, test::JpegColour::Gray))),
              1);
    const std::uint8_t* pixel = image.Pixels() + image.RowBytes() * 8 + 3 * 16;
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_EQ(pixel[1], pixel[2]);
    EXPECT_NEAR(pixel[1], 140, 3);
}

TEST(FrameImageTest, FailuresLeaveNoPixelsAndShowOnlyLibraryMessages) {
    ui::MessageBoxRecorder boxes;
    CFrameImage image;
    EXPECT_EQ(image.LoadJpeg((test::WorkDir() / "missing.jpg").string()), 0);
    EXPECT_TRUE(boxes.Messages().empty());

    EXPECT_EQ(image.LoadJpeg(WriteJpeg("junk.jpg", {0xFF, 0xD8, 0xFF, 0xD9})), 0);
    EXPECT_EQ(image.Pixels(), nullptr);
    ASSERT_FALSE(boxes.Messages().empty());
    EXPECT_EQ(boxes.Messages().back().caption, "JPEG Fatal Error");

    int width = 0;
    int height = 0;
    EXPECT_TRUE(ReadJpegSize(WriteJpeg("ok.jpg", test::MakeJpeg(31, 7, {1, 2, 3})), width, height));
    EXPECT_EQ(width, 31);
    EXPECT_EQ(height, 7);
}

// A picture cut in its scan data is decoded with the library's warning in the "JPEG Error" box
// (owned by the active window) and then drawn.
TEST(FrameImageTest, DamageTheLibraryStepsOverShowsOneWarning) {
    auto jpeg = test::MakeJpeg(64, 64, {100, 100, 100});
    jpeg.resize(jpeg.size() - 40);
    ui::MessageBoxRecorder boxes;
    CFrameImage image;
    EXPECT_EQ(image.LoadJpeg(WriteJpeg("cut.jpg", jpeg)), 1);
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0].caption, "JPEG Error");
    EXPECT_EQ(boxes.Messages()[0].style, ui::kMbOk);
}

class FrameDrawTest : public ::testing::Test {
protected:
    FrameDrawTest()
        : window(340, 270) {
        drawer.SetFormat(MakeMoviePictureFormat(64, 48));
        drawer.SetTarget(window.handle, 10, 20, 320, 240);
        drawer.Open();
    }

    void Handle(const std::vector<std::uint8_t>& jpeg) {
        HandleMovieFrame(jpeg.data(), static_cast<std::uint32_t>(jpeg.size()), drawer);
    }

    // The rectangle's corners and centre, and a pixel outside it.
    void ExpectRectangle(Rgb colour) {
        for (auto [x, y] : {std::pair{10, 20}, {329, 20}, {10, 259}, {329, 259}, {170, 140}})
            EXPECT_TRUE(test::Near(window.PixelAt(x, y), colour)) << x << "," << y;
        EXPECT_EQ(window.PixelAt(5, 5), 0u);
        EXPECT_EQ(window.PixelAt(335, 265), 0u);
    }

    test::PreviewWindow window;
    CPreviewDrawer drawer;
};

TEST_F(FrameDrawTest, StretchesEachFrameIntoTheRectangleAndLeavesNoFile) {
    const Rgb colour = test::FrameColour(2);
    Handle(test::MakeJpeg(64, 48, colour));
    ExpectRectangle(colour);
    EXPECT_TRUE(std::filesystem::is_empty(test::DriveCDir()));
}

// The movie's format says 64 × 48; frames of another size are drawn from their own header,
// never read as if they had the movie's size.
TEST_F(FrameDrawTest, FramesOfAnotherSizeAreDrawnWhole) {
    Handle(test::MakeJpeg(16, 12, test::FrameColour(0)));
    ExpectRectangle(test::FrameColour(0));
    Handle(test::MakeJpeg(200, 150, test::FrameColour(1)));
    ExpectRectangle(test::FrameColour(1));
}

TEST_F(FrameDrawTest, EmptyOrUndecodableFramesAndAClosedDrawerDrawNothing) {
    ui::MessageBoxRecorder boxes;
    const std::uint64_t before = window.DrawCount();
    Handle({});
    Handle({0xFF, 0xD8, 0x01, 0xFF, 0xD9});
    drawer.Close();
    Handle(test::MakeJpeg(64, 48, test::FrameColour(3)));
    EXPECT_EQ(window.DrawCount(), before);
    EXPECT_EQ(window.PixelAt(170, 140), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(test::DriveCDir()));
}

TEST_F(FrameDrawTest, FramesAreSkippedQuietlyWhenDriveCIsRefused) {
    setenv("FRAMZEL_DRIVE_C", "/proc/no-such-folder/c", 1);
    ui::MessageBoxRecorder boxes;
    Handle(test::MakeJpeg(64, 48, test::FrameColour(4)));
    EXPECT_EQ(window.PixelAt(170, 140), 0u);
    EXPECT_TRUE(boxes.Messages().empty());
}

} // namespace
} // namespace fz
