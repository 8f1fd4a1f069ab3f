#include "fzdsp/jpeglib/LibraryJpegWriter.h"

#include "platform/ui/MessageBox.h"
#include "tests/fzdsp/JpegPsnrCheck.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/fzdsp/PictureTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fz {
namespace {

using test::Picture;

std::string PathIn(const char* folder, const char* name) {
    return (test::FreshWorkDir(folder) / name).string();
}

TEST(LibraryJpegWriterTest, WritesAJfifFileThatDecodesCloseToTheInput) {
    test::ExpectDecodesCloseToTheInput("library", [](const std::string& path, int width, int height,
                                                     const std::uint8_t* pixels, int quality) {
        if (!WriteLibraryJpeg(path, width, height, pixels, quality))
            return false;
        const std::string file = test::ReadFile(path);
        EXPECT_EQ(file.substr(0, 4), "\xFF\xD8\xFF\xE0");
        EXPECT_EQ(file.substr(6, 5), std::string("JFIF\0", 5));
        return true;
    });
}

// Rows are reversed (bottom-up in, top-down out) and blue and red exchanged; a width whose rows
// are not a multiple of 4 bytes is read packed, without running past the picture.
TEST(LibraryJpegWriterTest, KeepsOrientationAndColourForOddWidths) {
    const int width = 162;
    const int height = 50;
    Picture picture(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
            const bool top = y >= height / 2; // rows count from the bottom
            p[0] = top ? 0 : 255;             // blue at the bottom
            p[1] = 0;
            p[2] = top ? 255 : 0; // red at the top
        }
    const std::string path = PathIn("orientation", "frame.jpg");
    ASSERT_TRUE(WriteLibraryJpeg(path, width, height, picture.data(), 90));
    const auto decoded = test::DecodeJpegFile(path);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->width, width);
    const std::uint8_t* topLeft = &decoded->rgb[0];
    const std::uint8_t* bottomLeft =
        &decoded->rgb[static_cast<std::size_t>(height - 1) * width * 3];
    EXPECT_GT(topLeft[0], 200);
    EXPECT_LT(topLeft[2], 60);
    EXPECT_LT(bottomLeft[0], 60);
    EXPECT_GT(bottomLeft[2], 200);
    // A hard red-blue edge rings under 4:2:0 chroma; a swapped or flipped picture scores ~5 dB.
    EXPECT_GT(test::PsnrAgainstBgr(*decoded, picture), 20.0);
}

// libjpeg's fatal errors come to the user as "JPEG Fatal Error" and the call fails; the object
// is destroyed and the file closed (the leak checker of the sanitizer build watches both).
TEST(LibraryJpegWriterTest, FatalErrorsShowAMessageBoxAndFail) {
    struct Case {
        const char* name;
        std::string path;
        int width;
        int height;
    };
    std::vector<Case> cases = {{"image too big", PathIn("fatal", "big.jpg"), 70000, 1}};
    if (std::filesystem::is_character_file("/dev/full"))
        cases.push_back({"write error", "/dev/full", 320, 240});
    for (const Case& c : cases) {
        ui::MessageBoxRecorder recorder;
        const Picture picture = test::RandomPicture(c.width, c.height, 3, 8);
        EXPECT_FALSE(WriteLibraryJpeg(c.path, c.width, c.height, picture.data(), 80)) << c.name;
        const auto shown = recorder.Messages();
        ASSERT_EQ(shown.size(), 1u) << c.name;
        EXPECT_EQ(shown[0].caption, "JPEG Fatal Error");
        EXPECT_EQ(shown[0].style, ui::kMbOk | ui::kMbIconError);
        EXPECT_FALSE(shown[0].text.empty());
    }
}

TEST(LibraryJpegWriterTest, RefusesQuietly) {
    ui::MessageBoxRecorder recorder;
    const Picture picture(16 * 8 * 3, 0x80);
    const std::string missing = test::FreshWorkDir("quiet").string() + "/missing/frame.jpg";
    EXPECT_FALSE(WriteLibraryJpeg(missing, 16, 8, picture.data(), 80));
    EXPECT_FALSE(WriteLibraryJpeg(PathIn("quiet", "a.jpg"), 0, 8, picture.data(), 80));
    EXPECT_FALSE(WriteLibraryJpeg(PathIn("quiet", "b.jpg"), 16, 8, nullptr, 80));
    EXPECT_TRUE(recorder.Messages().empty());
}

} // namespace
} // namespace fz
