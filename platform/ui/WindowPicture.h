#pragma once

#include "platform/ui/Window.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace fz::ui {

// Every top-level window owns a picture of its client size: 32-bit pixels, top row first,
// each pixel 0x00RRGGBB in a std::uint32_t (blue, green, red, 0 in memory order, the layout
// of Qt's RGB32 images). Drawing into a window or one of its children writes there; a host
// shows it (the program's preview widget copies it on repaint), and the command-line program
// and the tests read it back. The picture starts black and keeps the last thing drawn into
// each part of it.

// The picture of a window. For a child window, the part of its top-level window's picture
// that the child covers (clipped to the top-level window).
struct WindowPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // width × height, top row first
    std::uint64_t drawCount = 0;       // draws that reached the top-level window's picture
    std::uint32_t lastDrawTick = 0;    // GetTickCount of the last of them
    Rect lastDrawRect;                 // where it landed, in the top-level window's client area

    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Creates an off-screen window for the command-line program and the tests: a visible
// top-level window of the given size whose picture nobody shows. The calling thread is its
// window thread. `proc` may be empty.
WindowHandle CreateOffscreenWindow(int width, int height, WindowProc proc = {});

// A copy of the window's picture; false for an unknown window.
bool ReadWindowPicture(WindowHandle window, WindowPicture* picture);

// Called after every draw into the picture of a top-level window, on the drawing thread, with
// the window that was drawn into (the top-level window or one of its children) and the
// rectangle that changed in the top-level window's client area. A host schedules a repaint
// here; tests note the time of each draw. It must not draw, and must return quickly. One
// observer per top-level window; an empty one removes it.
using DrawObserver = std::function<void(WindowHandle drawn, const Rect& changed)>;
bool SetDrawObserver(WindowHandle topLevel, DrawObserver observer);

// Runs `reader` with the top-level window's pixels under the picture's lock, without a copy
// (the host's repaint). `reader` must not call back into the window layer.
bool ReadWindowPixels(
    WindowHandle topLevel,
    const std::function<void(const std::uint32_t* pixels, int width, int height)>& reader);

} // namespace fz::ui
