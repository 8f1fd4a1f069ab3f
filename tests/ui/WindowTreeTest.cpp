#include "platform/ui/Window.h"
#include "platform/ui/WindowPicture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace fz::ui;

WindowHandle Child(WindowHandle parent, int x, int y, int w, int h, WindowProc proc = {}) {
    WindowDesc desc;
    desc.parent = parent;
    desc.x = x;
    desc.y = y;
    desc.width = w;
    desc.height = h;
    desc.style = kWsChild | kWsVisible;
    desc.proc = std::move(proc);
    return CreateWindow(desc);
}

TEST(WindowTreeTest, ChildrenKeepTheirRectangleAndDieWithTheirParent) {
    std::vector<WindowHandle> destroyed;
    auto record = [&](WindowHandle w, std::uint32_t message, std::uintptr_t, std::intptr_t) {
        if (message == kWmDestroy)
            destroyed.push_back(w);
        return std::intptr_t{0};
    };
    const WindowHandle top = CreateOffscreenWindow(320, 240, record);
    ASSERT_NE(top, 0u);
    const WindowHandle child = Child(top, 10, 20, 100, 50, record);
    const WindowHandle grandchild = Child(child, 5, 5, 10, 10, record);
    ASSERT_NE(child, 0u);
    ASSERT_NE(grandchild, 0u);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetTopLevelWindow(grandchild), top);
    Rect rect;
    ASSERT_TRUE(GetWindowRect(child, &rect));
    EXPECT_EQ(rect, (Rect{10, 20, 110, 70}));
    ASSERT_TRUE(MoveWindow(child, 1, 2, 30, 40));
    ASSERT_TRUE(GetWindowRect(child, &rect));
    EXPECT_EQ(rect, (Rect{1, 2, 31, 42}));
    EXPECT_TRUE(GetWindowStyle(child) & kWsChild);

    // Visibility follows the ancestors.
    EXPECT_TRUE(IsWindowVisible(grandchild));
    ShowWindow(child, false);
    EXPECT_FALSE(IsWindowVisible(grandchild));
    ShowWindow(child, true);

    // No cycles; a child without a parent is refused.
    EXPECT_FALSE(SetParent(top, grandchild));
    EXPECT_FALSE(SetParent(child, child));
    EXPECT_EQ(Child(0x7777, 0, 0, 1, 1), 0u);

    ASSERT_TRUE(DestroyWindow(top));
    EXPECT_EQ(destroyed, (std::vector<WindowHandle>{grandchild, child, top}));
    for (WindowHandle w : {top, child, grandchild})
        EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_FALSE(MoveWindow(child, 0, 0, 1, 1));
}

TEST(WindowTreeTest, ReparentingMovesAWindowBetweenPictures) {
    const WindowHandle owner = CreateOffscreenWindow(64, 48);
    WindowDesc desc;
    desc.width = 16;
    desc.height = 8;
    desc.style = 0; // a hidden top-level window, as a renderer keeps before it has an owner
    const WindowHandle own = CreateWindow(desc);
    ASSERT_NE(own, 0u);
    EXPECT_EQ(GetParent(own), 0u);
    EXPECT_FALSE(IsWindowVisible(own));

    ASSERT_TRUE(SetParent(own, owner));
    EXPECT_TRUE(GetWindowStyle(own) & kWsChild);
    EXPECT_TRUE(SetWindowStyle(own, kWsChild | kWsClipSiblings | kWsVisible));
    ASSERT_TRUE(MoveWindow(own, 8, 4, 32, 16));
    EXPECT_TRUE(IsWindowVisible(own));
    WindowPicture picture;
    ASSERT_TRUE(ReadWindowPicture(own, &picture));
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 16);

    // Back to top-level: a picture of its own again, and the style says so.
    ASSERT_TRUE(SetParent(own, 0));
    EXPECT_FALSE(GetWindowStyle(own) & kWsChild);
    EXPECT_FALSE(SetWindowStyle(own, kWsChild) && (GetWindowStyle(own) & kWsChild));
    ASSERT_TRUE(ReadWindowPicture(own, &picture));
    EXPECT_EQ(picture.width, 32);
    DestroyWindow(own);
    DestroyWindow(owner);
}

} // namespace
