#pragma once

#include "platform/ui/Window.h"
#include "platform/ui/WindowPicture.h"

#include <memory>
#include <mutex>
#include <vector>

namespace fz::ui::detail {

class ThreadQueue;

// The picture of a top-level window (see WindowPicture.h), shared with the drawers that are
// writing into it while the window changes.
struct WindowSurface {
    std::mutex mutex;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint64_t drawCount = 0;
    std::uint32_t lastDrawTick = 0;
    Rect lastDrawRect;
    DrawObserver observer;
};

// Where drawing into a window lands: its top-level window's surface, the window's client
// origin in that surface, and the part of the surface the window may change.
struct DrawTarget {
    std::shared_ptr<WindowSurface> surface;
    WindowHandle topLevel = 0;
    int originX = 0;
    int originY = 0;
    Rect clip; // empty when hidden or clipped away
};

bool FindDrawTarget(WindowHandle window, DrawTarget* target);

// The procedure and thread of a window, for sending and dispatching.
bool FindWindowProc(WindowHandle window, WindowProc* proc, std::shared_ptr<ThreadQueue>* thread);

} // namespace fz::ui::detail
