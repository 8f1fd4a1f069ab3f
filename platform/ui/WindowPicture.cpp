#include "platform/ui/WindowPicture.h"

#include "platform/ui/WindowTable.h"

#include <algorithm>
#include <utility>

namespace fz::ui {

WindowHandle CreateOffscreenWindow(int width, int height, WindowProc proc) {
    WindowDesc desc;
    desc.width = width;
    desc.height = height;
    desc.style = kWsVisible;
    desc.proc = std::move(proc);
    desc.name = "off-screen";
    return CreateWindow(desc);
}

bool ReadWindowPicture(WindowHandle window, WindowPicture* picture) {
    detail::DrawTarget target;
    if (!picture || !detail::FindDrawTarget(window, &target))
        return false;
    Rect area;
    GetClientRect(window, &area);
    std::lock_guard lock(target.surface->mutex);
    const auto& surface = *target.surface;
    // The window's client area in the surface, clipped to the surface (not to visibility:
    // a hidden window still has the pixels it covers).
    const int left = std::clamp(target.originX, 0, surface.width);
    const int top = std::clamp(target.originY, 0, surface.height);
    const int right = std::clamp(target.originX + area.Width(), 0, surface.width);
    const int bottom = std::clamp(target.originY + area.Height(), 0, surface.height);
    picture->width = right - left;
    picture->height = bottom - top;
    picture->pixels.clear();
    picture->pixels.reserve(static_cast<std::size_t>(picture->width) *
                            static_cast<std::size_t>(picture->height));
    for (int y = top; y < bottom; ++y) {
        const auto* row = surface.pixels.data() + static_cast<std::size_t>(y) * surface.width;
        picture->pixels.insert(picture->pixels.end(), row + left, row + right);
    }
    picture->drawCount = surface.drawCount;
    picture->lastDrawTick = surface.lastDrawTick;
    picture->lastDrawRect = surface.lastDrawRect;
    return true;
}

bool SetDrawObserver(WindowHandle topLevel, DrawObserver observer) {
    detail::DrawTarget target;
    if (GetParent(topLevel) != 0 || !detail::FindDrawTarget(topLevel, &target))
        return false;
    std::lock_guard lock(target.surface->mutex);
    target.surface->observer = std::move(observer);
    return true;
}

bool ReadWindowPixels(
    WindowHandle topLevel,
    const std::function<void(const std::uint32_t* pixels, int width, int height)>& reader) {
    detail::DrawTarget target;
    if (GetParent(topLevel) != 0 || !detail::FindDrawTarget(topLevel, &target))
        return false;
    std::lock_guard lock(target.surface->mutex);
    reader(target.surface->pixels.data(), target.surface->width, target.surface->height);
    return true;
}

} // namespace fz::ui
