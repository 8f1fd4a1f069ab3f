#pragma once

#include "platform/ui/Window.h"

#include <cstddef>
#include <cstdint>

namespace fz::ui {

// Stretch drawing of device-independent bitmaps into windows, as the player's preview drawer
// and the video renderer use it. Pictures are uncompressed 24-bit (blue, green, red) or
// 32-bit (blue, green, red, unused) pixels, each row padded to a multiple of 4 bytes, bottom
// row first when the height is positive and top row first when it is negative. The picture is
// stretched with nearest-neighbour sampling into the destination rectangle of the window's
// client area and clipped to the window (and, for a child, to its parents).

// The part of a bitmap information header that drawing reads.
struct DibFormat {
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: bottom-up rows; negative: top-down
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0; // 0: uncompressed RGB; anything else is refused
};

// From any header with the 40-byte bitmap information header's fields (width, height,
// bitCount, compression).
template <typename Header>
DibFormat DibFormatOf(const Header& header) {
    return DibFormat{header.width, header.height, header.bitCount, header.compression};
}

// Bytes a picture of this format needs (rows padded to 4 bytes); 0 for a format that cannot
// be drawn (not 24 or 32 bits, compressed, empty, or larger than 32767 in either direction).
std::size_t DibImageSize(const DibFormat& format);

// A device context names the window it draws into; 0 is none.
using DeviceContext = WindowHandle;

// GetDC gives the window's device context (0 for an unknown window); ReleaseDC gives it back.
DeviceContext GetDC(WindowHandle window);
int ReleaseDC(WindowHandle window, DeviceContext dc);

// A drawing handle: 0 is none. Open and close from any thread; one handle may be used by one
// thread at a time (the callers hold their own lock around it).
using DrawDibHandle = std::uintptr_t;
DrawDibHandle DrawDibOpen();
bool DrawDibClose(DrawDibHandle handle);

// Draws the source rectangle (srcX, srcY, srcWidth, srcHeight; measured from the picture's top
// left corner) of the picture `bits` (`bitsSize` bytes) stretched into the destination
// rectangle (x, y, width, height) of the window `dc` names. A width or height of -1 for the
// destination means the source's. `flags` is accepted and ignored. Returns false, drawing
// nothing, for an unknown handle or window, a format that cannot be drawn, a buffer smaller
// than the format needs, or a source rectangle outside the picture. Drawing into a hidden
// window, or one whose rectangle is clipped away, succeeds and changes no pixel.
// Any thread; the window's picture is locked while it is written.
bool DrawDibDraw(DrawDibHandle handle, DeviceContext dc, int x, int y, int width, int height,
                 const DibFormat& format, const void* bits, std::size_t bitsSize, int srcX,
                 int srcY, int srcWidth, int srcHeight, std::uint32_t flags);

} // namespace fz::ui
