#include "platform/ui/DrawDib.h"
#include "platform/ui/WindowPicture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace fz::ui;

// A picture whose every pixel tells where it came from: blue = column, green = row (counted
// from the top), red = a tag. Rows are stored bottom-up when `height` > 0.
std::vector<std::uint8_t> CodedPicture(int width, int height, int bits, std::uint8_t tag) {
    const int rows = height < 0 ? -height : height;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> pixels(stride * rows, 0xEE);
    for (int y = 0; y < rows; ++y) {
        const int stored = height > 0 ? rows - 1 - y : y;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[stored * stride + static_cast<std::size_t>(x) * (bits / 8)];
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = tag;
        }
    }
    return pixels;
}

constexpr std::uint32_t Pixel(int column, int row, std::uint8_t tag) {
    return static_cast<std::uint32_t>(tag) << 16 | static_cast<std::uint32_t>(row) << 8 |
           static_cast<std::uint32_t>(column);
}

struct Drawer {
    DrawDibHandle handle = DrawDibOpen();
    ~Drawer() { DrawDibClose(handle); }
};

TEST(DrawDibTest, StretchesEveryLayoutIntoTheDestination) {
    struct Case {
        const char* name;
        int width, height, bits;
    };
    // 175 pixels wide at 24 bits pads its rows (525 → 528 bytes); an odd height keeps its
    // middle row; negative heights are stored top row first.
    const Case cases[] = {{"bottom-up 24", 175, 3, 24},
                          {"top-down 24", 175, -3, 24},
                          {"bottom-up 32", 5, 7, 32},
                          {"top-down 32", 5, -7, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const WindowHandle window = CreateOffscreenWindow(400, 30);
        const auto bits = CodedPicture(c.width, c.height, c.bits, 9);
        const DibFormat format{c.width, c.height, static_cast<std::uint16_t>(c.bits), 0};
        ASSERT_EQ(DibImageSize(format), bits.size());
        const int rows = c.height < 0 ? -c.height : c.height;
        Drawer drawer;
        const DeviceContext dc = GetDC(window);
        // Twice the size in both directions at (10, 2): every source pixel becomes 2 × 2.
        ASSERT_TRUE(DrawDibDraw(drawer.handle, dc, 10, 2, 2 * c.width, 2 * rows, format,
                                bits.data(), bits.size(), 0, 0, c.width, rows, 0));
        ReleaseDC(window, dc);
        WindowPicture picture;
        ASSERT_TRUE(ReadWindowPicture(window, &picture));
        EXPECT_EQ(picture.drawCount, 1u);
        EXPECT_EQ(picture.lastDrawRect, (Rect{10, 2, 10 + 2 * c.width, 2 + 2 * rows}));
        for (int y = 0; y < 2 * rows; ++y)
            for (int x = 0; x < 2 * c.width; ++x)
                ASSERT_EQ(picture.At(10 + x, 2 + y), Pixel(x / 2, y / 2, 9)) << x << "," << y;
        EXPECT_EQ(picture.At(9, 2), 0u); // outside the destination stays black
        EXPECT_EQ(picture.At(10, 1), 0u);
        DestroyWindow(window);
    }
}

TEST(DrawDibTest, ShrinksToTheFramesRectangleAndKeepsTheLastPicture) {
    // The preview rectangle (10, 20, 330, 260) shows every frame at 320 × 240, whatever its size.
    const WindowHandle window = CreateOffscreenWindow(352, 288);
    Drawer drawer;
    const auto first = CodedPicture(160, 120, 24, 1);
    const auto second = CodedPicture(640, 480, 24, 2);
    ASSERT_TRUE(DrawDibDraw(drawer.handle, window, 10, 20, 320, 240, DibFormat{160, 120, 24, 0},
                            first.data(), first.size(), 0, 0, 160, 120, 0));
    ASSERT_TRUE(DrawDibDraw(drawer.handle, window, 10, 20, 320, 240, DibFormat{640, 480, 24, 0},
                            second.data(), second.size(), 0, 0, 640, 480, 0));
    WindowPicture picture;
    ASSERT_TRUE(ReadWindowPicture(window, &picture));
    EXPECT_EQ(picture.drawCount, 2u);
    // Halving takes the source pixel under each destination pixel's centre: 2x + 1.
    EXPECT_EQ(picture.At(10, 20), Pixel(1, 1, 2));
    EXPECT_EQ(picture.At(10 + 100, 20 + 50), Pixel(201 & 0xFF, 101, 2));
    EXPECT_EQ(picture.At(329, 259), Pixel(639 & 0xFF, 479 & 0xFF, 2));
    EXPECT_EQ(picture.At(330, 260), 0u);
    DestroyWindow(window);
}

TEST(DrawDibTest, AChildDrawsIntoItsOwnersPictureClippedAndOnlyWhenVisible) {
    const WindowHandle owner = CreateOffscreenWindow(40, 30);
    WindowDesc desc;
    desc.parent = owner;
    desc.x = 30;
    desc.y = 20;
    desc.width = 20; // reaches past the owner's right and bottom edges
    desc.height = 20;
    desc.style = kWsChild; // hidden
    const WindowHandle child = CreateWindow(desc);
    std::vector<Rect> observed;
    SetDrawObserver(owner, [&](WindowHandle drawn, const Rect& changed) {
        EXPECT_EQ(drawn, child);
        observed.push_back(changed);
    });
    Drawer drawer;
    const auto bits = CodedPicture(4, 4, 32, 5);
    const DibFormat format{4, 4, 32, 0};
    ASSERT_TRUE(DrawDibDraw(drawer.handle, child, 0, 0, 20, 20, format, bits.data(), bits.size(), 0,
                            0, 4, 4, 0));
    WindowPicture picture;
    ASSERT_TRUE(ReadWindowPicture(owner, &picture));
    EXPECT_EQ(picture.At(35, 25), 0u); // hidden: nothing changed

    ShowWindow(child, true);
    ASSERT_TRUE(DrawDibDraw(drawer.handle, child, 0, 0, 20, 20, format, bits.data(), bits.size(), 0,
                            0, 4, 4, 0));
    ASSERT_TRUE(ReadWindowPicture(owner, &picture));
    EXPECT_EQ(picture.At(30, 20), Pixel(0, 0, 5));
    EXPECT_EQ(picture.At(39, 29), Pixel(1, 1, 5)); // (9, 9) of the child: source (1, 1)
    EXPECT_EQ(picture.At(29, 20), 0u);
    ASSERT_EQ(observed.size(), 2u);
    EXPECT_TRUE(observed[0].Empty());
    EXPECT_EQ(observed[1], (Rect{30, 20, 40, 30}));

    // The child's own picture is the part of the owner it covers.
    WindowPicture own;
    ASSERT_TRUE(ReadWindowPicture(child, &own));
    EXPECT_EQ(own.width, 10);
    EXPECT_EQ(own.height, 10);
    EXPECT_EQ(own.At(0, 0), Pixel(0, 0, 5));
    DestroyWindow(owner);
}

TEST(DrawDibTest, RefusesWhatItCannotDrawSafely) {
    const WindowHandle window = CreateOffscreenWindow(16, 16);
    Drawer drawer;
    const auto bits = CodedPicture(8, 8, 24, 1);
    const DibFormat good{8, 8, 24, 0};
    struct Case {
        const char* name;
        DrawDibHandle handle;
        WindowHandle dc;
        DibFormat format;
        std::size_t size;
        int srcX, srcY, srcW, srcH;
    };
    const Case cases[] = {
        {"closed handle", 0x1, window, good, bits.size(), 0, 0, 8, 8},
        {"unknown window", drawer.handle, 0x5555, good, bits.size(), 0, 0, 8, 8},
        {"buffer one byte short", drawer.handle, window, good, bits.size() - 1, 0, 0, 8, 8},
        {"bigger picture than buffer",
         drawer.handle,
         window,
         {9, 8, 24, 0},
         bits.size(),
         0,
         0,
         8,
         8},
        {"16 bits", drawer.handle, window, {8, 8, 16, 0}, bits.size(), 0, 0, 8, 8},
        {"compressed", drawer.handle, window, {8, 8, 24, 1}, bits.size(), 0, 0, 8, 8},
        {"zero width", drawer.handle, window, {0, 8, 24, 0}, bits.size(), 0, 0, 0, 8},
        {"source past the right", drawer.handle, window, good, bits.size(), 1, 0, 8, 8},
        {"source past the bottom", drawer.handle, window, good, bits.size(), 0, 4, 8, 5},
        {"negative source", drawer.handle, window, good, bits.size(), -1, 0, 8, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(DrawDibDraw(c.handle, c.dc, 0, 0, 16, 16, c.format, bits.data(), c.size,
                                 c.srcX, c.srcY, c.srcW, c.srcH, 0));
    }
    EXPECT_FALSE(DrawDibDraw(drawer.handle, window, 0, 0, 16, 16, good, nullptr, bits.size(), 0, 0,
                             8, 8, 0));
    WindowPicture picture;
    ASSERT_TRUE(ReadWindowPicture(window, &picture));
    EXPECT_EQ(picture.drawCount, 0u);
    // A destination far outside the window is drawn (and clipped away) without harm.
    EXPECT_TRUE(DrawDibDraw(drawer.handle, window, -100000, 2000000, 1 << 30, 1 << 30, good,
                            bits.data(), bits.size(), 0, 0, 8, 8, 0));
    EXPECT_FALSE(DrawDibClose(0x1));
    DestroyWindow(window);
}

} // namespace
