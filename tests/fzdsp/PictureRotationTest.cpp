#include "fzdsp/picture/PictureRotation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fz {
namespace {

// Pictures written in display terms: one string per row, top row first, one letter per pixel.
// In memory the rows are bottom-up and a letter becomes the pixel (letter, letter + 1, letter
// + 2), so a mix-up of the three bytes shows as well.
std::vector<std::uint8_t> FromDisplay(const std::vector<std::string>& display) {
    std::vector<std::uint8_t> picture;
    for (auto row = display.rbegin(); row != display.rend(); ++row)
        for (char letter : *row) {
            const auto value = static_cast<std::uint8_t>(letter);
            picture.insert(picture.end(), {value, static_cast<std::uint8_t>(value + 1),
                                           static_cast<std::uint8_t>(value + 2)});
        }
    return picture;
}

TEST(PictureRotationTest, MapsPixelsInDisplayTerms) {
    struct Case {
        int angle;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> source = {"ABC", "DEF"};
    const Case cases[] = {
        {0, {"ABC", "DEF"}},
        {90, {"DA", "EB", "FC"}},  // clockwise: the top left pixel goes to the top right
        {180, {"DEF", "ABC"}},     // upside down, left and right stay
        {270, {"CF", "BE", "AD"}}, // counter-clockwise
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> picture = FromDisplay(source);
        ASSERT_TRUE(RotatePicture(picture.data(), 3, 2, c.angle));
        EXPECT_EQ(picture, FromDisplay(c.expected)) << c.angle;
    }
}

TEST(PictureRotationTest, RefusesOtherAnglesAndLeavesThePicture) {
    for (int angle : {-90, 45, 360, 1}) {
        std::vector<std::uint8_t> picture = FromDisplay({"ABC", "DEF"});
        EXPECT_FALSE(RotatePicture(picture.data(), 3, 2, angle)) << angle;
        EXPECT_EQ(picture, FromDisplay({"ABC", "DEF"}));
    }
    // A size no picture buffer can have is refused before the temporary copy is made.
    std::vector<std::uint8_t> picture = FromDisplay({"ABC", "DEF"});
    EXPECT_FALSE(RotatePicture(picture.data(), 0x7FFFFFFF, 0x7FFFFFFF, 90));
    EXPECT_FALSE(RotatePicture(picture.data(), 0, 2, 180));
    EXPECT_EQ(picture, FromDisplay({"ABC", "DEF"}));
}

TEST(PictureRotationTest, FourQuarterTurnsRestoreThePicture) {
    const std::vector<std::string> source = {"ABCDE", "FGHIJ", "KLMNO"};
    std::vector<std::uint8_t> picture = FromDisplay(source);
    int width = 5;
    int rows = 3;
    for (int turn = 0; turn < 4; ++turn) {
        ASSERT_TRUE(RotatePicture(picture.data(), width, rows, 90));
        std::swap(width, rows);
    }
    EXPECT_EQ(picture, FromDisplay(source));
    ASSERT_TRUE(RotatePicture(picture.data(), 5, 3, 90));
    ASSERT_TRUE(RotatePicture(picture.data(), 3, 5, 270));
    EXPECT_EQ(picture, FromDisplay(source));
}

} // namespace
} // namespace fz
