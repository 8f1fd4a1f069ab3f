#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace fz::ui {

// A window handle names a window object of this layer; 0 is "no window". Handles are never
// reused within a process, so a stale handle is simply refused (IsWindow is false).
using WindowHandle = std::uintptr_t;

// Window styles; the numbers are the platform's. Only kWsChild changes behaviour here (a
// child window lies inside its parent and draws into its parent's picture); the others are
// kept as given and reported back.
enum WindowStyle : std::uint32_t {
    kWsOverlapped = 0x00000000,
    kWsPopup = 0x80000000,
    kWsChild = 0x40000000,
    kWsVisible = 0x10000000,
    kWsClipSiblings = 0x04000000,
    kWsClipChildren = 0x02000000,
};

// Window messages; the numbers are the platform's.
enum WindowMessage : std::uint32_t {
    kWmNull = 0x0000,
    kWmDestroy = 0x0002,
    kWmSize = 0x0005,
    kWmClose = 0x0010,
    kWmQuit = 0x0012,
    kWmUser = 0x0400,
};

// A rectangle in the platform's form: right and bottom lie just outside it.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A window procedure: handles one message and returns its result. It runs on the window's
// thread (see WindowMessages.h). Windows without a procedure answer every message with 0.
using WindowProc = std::function<std::intptr_t(WindowHandle window, std::uint32_t message,
                                               std::uintptr_t wParam, std::intptr_t lParam)>;

// What CreateWindow needs. A window with kWsChild in its style and a parent is a child window:
// its position is relative to the parent's client area and it shows (and draws) only inside
// it. Any other window is a top-level window and owns a picture of its own size (its client
// area: 32-bit pixels, see WindowPicture.h) that drawing writes into and a host shows.
struct WindowDesc {
    WindowHandle parent = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::uint32_t style = kWsVisible;
    WindowProc proc;
    std::string name;
};

// Creates a window. The calling thread becomes the window's thread: messages sent to the
// window from other threads run there, when that thread pumps (WindowMessages.h). Returns 0
// when the parent of a child window does not exist or a size is negative.
WindowHandle CreateWindow(const WindowDesc& desc);

// Destroys a window and its children (children first); each gets kWmDestroy on the calling
// thread before it goes. Messages still waiting for them are answered with 0. Any thread.
bool DestroyWindow(WindowHandle window);

bool IsWindow(WindowHandle window);

// The parent of a child window, 0 for a top-level window or an unknown handle.
WindowHandle GetParent(WindowHandle window);

// Moves a window under another parent (0: makes it top-level, with a picture of its own).
// Refused when the new parent is unknown or is the window itself or one of its children.
bool SetParent(WindowHandle window, WindowHandle parent);

// Position (relative to the parent's client area; 0, 0 for a top-level window) and size.
// Resizing a top-level window resizes its picture (cleared to black) and sends it kWmSize.
bool MoveWindow(WindowHandle window, int x, int y, int width, int height);

// The window's rectangle in its parent's client coordinates (a top-level window: 0, 0, size).
bool GetWindowRect(WindowHandle window, Rect* rect);

// The client rectangle: 0, 0, width, height.
bool GetClientRect(WindowHandle window, Rect* rect);

bool ShowWindow(WindowHandle window, bool visible);

// Visible when the window and every ancestor are visible.
bool IsWindowVisible(WindowHandle window);

// The style as stored, kWsVisible following ShowWindow. SetWindowStyle stores the new style
// as given (without kWsVisible the window is hidden), except that kWsChild always says whether
// the window has a parent: SetParent, not the style, makes a window a child.
std::uint32_t GetWindowStyle(WindowHandle window);
bool SetWindowStyle(WindowHandle window, std::uint32_t style);

// The top-level window at the root of a window's parent chain (the window itself when it is
// top-level); 0 for an unknown handle.
WindowHandle GetTopLevelWindow(WindowHandle window);

} // namespace fz::ui
