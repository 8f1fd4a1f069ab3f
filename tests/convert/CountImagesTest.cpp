// The image count over a frame file in memory, each case in an exact-size heap buffer so that
// a read past the end is caught.
#include "fzctrl/convert/CountImages.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    std::vector<int> bytes;
    std::uint32_t count;
    std::uint32_t largest; // longest image + 2
};

TEST(CountImagesTest, CountsCompleteImagesAndTheLargest) {
    const std::vector<Case> cases = {
        {"empty", {}, 0, 0},
        {"one image", {0xFF, 0xD8, 1, 2, 0xFF, 0xD9}, 1, 8},
        {"the shortest image: end right after start's two bytes", {0xFF, 0xD8, 0xFF, 0xD9}, 1, 6},
        {"FF D8 D9 is no image (the end is searched from two bytes on)",
         {0xFF, 0xD8, 0xD9, 0, 0xFF, 0xD9},
         1,
         8},
        {"start without end", {0xFF, 0xD8, 1, 2, 3}, 0, 0},
        {"second start without end ends the scan",
         {0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xD8, 0, 0, 0, 0},
         1,
         6},
        {"records between images and a longer second one",
         {9, 9, 0xFF, 0xD8, 0xFF, 0xD9, 7, 7, 7, 0xFF, 0xD8, 0, 0, 0, 0xFF, 0xD9},
         2,
         9},
        {"a start inside an image does not begin a new one",
         {0xFF, 0xD8, 0xFF, 0xD8, 0xFF, 0xD9},
         1,
         8},
        {"FF at the very end", {0xFF, 0xD8, 0, 0xFF}, 0, 0},
        {"lone FF", {0xFF}, 0, 0},
        {"FF FF D8 starts an image at the second FF", {0xFF, 0xFF, 0xD8, 0xFF, 0xD9}, 1, 6},
    };
    for (const Case& c : cases) {
        auto buffer = std::make_unique<std::uint8_t[]>(c.bytes.size());
        for (std::size_t i = 0; i < c.bytes.size(); ++i)
            buffer[i] = static_cast<std::uint8_t>(c.bytes[i]);
        std::uint32_t largest = 12345;
        EXPECT_EQ(fz::CountImages(buffer.get(), c.bytes.size(), &largest), c.count) << c.name;
        EXPECT_EQ(largest, c.largest) << c.name;
    }
}

} // namespace
