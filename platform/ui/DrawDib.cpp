#include "platform/ui/DrawDib.h"

#include "platform/time/TickCount.h"
#include "platform/ui/WindowTable.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace fz::ui {
namespace {

constexpr std::int32_t kLargestSide = 32767;

struct DrawDibTable {
    std::mutex mutex;
    std::unordered_set<DrawDibHandle> open;
    DrawDibHandle next = 0x2000;
};

DrawDibTable& Handles() {
    static DrawDibTable* table = new DrawDibTable;
    return *table;
}

bool IsOpen(DrawDibHandle handle) {
    auto& table = Handles();
    std::lock_guard lock(table.mutex);
    return table.open.contains(handle);
}

std::size_t RowBytes(const DibFormat& format) {
    return ((static_cast<std::size_t>(format.width) * format.bitCount + 31) / 32) * 4;
}

// Nearest-neighbour sampling: destination pixel d of `dst` takes the source pixel under its
// centre, (2d + 1) · src / (2 · dst).
int SourceIndex(int d, int src, int dst) {
    return static_cast<int>((2 * static_cast<std::int64_t>(d) + 1) * src /
                            (2 * static_cast<std::int64_t>(dst)));
}

} // namespace

std::size_t DibImageSize(const DibFormat& format) {
    if (format.compression != 0 || (format.bitCount != 24 && format.bitCount != 32))
        return 0;
    const std::int64_t height = std::abs(static_cast<std::int64_t>(format.height));
    if (format.width <= 0 || format.width > kLargestSide || height == 0 || height > kLargestSide)
        return 0;
    return RowBytes(format) * static_cast<std::size_t>(height);
}

DeviceContext GetDC(WindowHandle window) {
    return IsWindow(window) ? window : 0;
}

int ReleaseDC(WindowHandle window, DeviceContext dc) {
    return window != 0 && window == dc ? 1 : 0;
}

DrawDibHandle DrawDibOpen() {
    auto& table = Handles();
    std::lock_guard lock(table.mutex);
    const DrawDibHandle handle = table.next;
    table.next += 4;
    table.open.insert(handle);
    return handle;
}

bool DrawDibClose(DrawDibHandle handle) {
    auto& table = Handles();
    std::lock_guard lock(table.mutex);
    return table.open.erase(handle) != 0;
}

bool DrawDibDraw(DrawDibHandle handle, DeviceContext dc, int x, int y, int width, int height,
                 const DibFormat& format, const void* bits, std::size_t bitsSize, int srcX,
                 int srcY, int srcWidth, int srcHeight, std::uint32_t /*flags*/) {
    const std::size_t imageSize = DibImageSize(format);
    if (!IsOpen(handle) || imageSize == 0 || !bits || bitsSize < imageSize)
        return false;
    const int pictureHeight = std::abs(format.height);
    if (srcX < 0 || srcY < 0 || srcWidth <= 0 || srcHeight <= 0 || srcWidth > format.width - srcX ||
        srcHeight > pictureHeight - srcY)
        return false;
    if (width == -1)
        width = srcWidth;
    if (height == -1)
        height = srcHeight;
    if (width < 0 || height < 0)
        return false;
    detail::DrawTarget target;
    if (!detail::FindDrawTarget(dc, &target))
        return false;

    // The destination in the surface, and the part of it that may change.
    const std::int64_t left = static_cast<std::int64_t>(target.originX) + x;
    const std::int64_t top = static_cast<std::int64_t>(target.originY) + y;
    const std::int64_t visibleLeft = std::max<std::int64_t>(left, target.clip.left);
    const std::int64_t visibleTop = std::max<std::int64_t>(top, target.clip.top);
    const std::int64_t visibleRight = std::min<std::int64_t>(left + width, target.clip.right);
    const std::int64_t visibleBottom = std::min<std::int64_t>(top + height, target.clip.bottom);

    const auto* source = static_cast<const std::uint8_t*>(bits);
    const std::size_t rowBytes = RowBytes(format);
    const int pixelBytes = format.bitCount / 8;
    Rect changed;
    DrawObserver observer;
    {
        auto& surface = *target.surface;
        std::lock_guard lock(surface.mutex);
        const std::int64_t right = std::min<std::int64_t>(visibleRight, surface.width);
        const std::int64_t bottom = std::min<std::int64_t>(visibleBottom, surface.height);
        const std::int64_t firstX = std::max<std::int64_t>(visibleLeft, 0);
        const std::int64_t firstY = std::max<std::int64_t>(visibleTop, 0);
        if (firstX < right && firstY < bottom) {
            std::vector<std::size_t> columns(static_cast<std::size_t>(right - firstX));
            for (std::int64_t dx = firstX; dx < right; ++dx)
                columns[static_cast<std::size_t>(dx - firstX)] =
                    static_cast<std::size_t>(
                        srcX + SourceIndex(static_cast<int>(dx - left), srcWidth, width)) *
                    static_cast<std::size_t>(pixelBytes);
            for (std::int64_t dy = firstY; dy < bottom; ++dy) {
                const int sy = srcY + SourceIndex(static_cast<int>(dy - top), srcHeight, height);
                const int storedRow = format.height > 0 ? pictureHeight - 1 - sy : sy;
                const std::uint8_t* row = source + static_cast<std::size_t>(storedRow) * rowBytes;
                std::uint32_t* out = surface.pixels.data() +
                                     static_cast<std::size_t>(dy) * surface.width +
                                     static_cast<std::size_t>(firstX);
                for (std::size_t offset : columns) {
                    const std::uint8_t* p = row + offset;
                    *out++ = static_cast<std::uint32_t>(p[0]) |
                             static_cast<std::uint32_t>(p[1]) << 8 |
                             static_cast<std::uint32_t>(p[2]) << 16;
                }
            }
            changed = Rect{static_cast<int>(firstX), static_cast<int>(firstY),
                           static_cast<int>(right), static_cast<int>(bottom)};
        }
        ++surface.drawCount;
        surface.lastDrawTick = time::GetTickCount();
        surface.lastDrawRect = changed;
        observer = surface.observer;
    }
    if (observer)
        observer(dc, changed);
    return true;
}

} // namespace fz::ui
