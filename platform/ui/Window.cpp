#include "platform/ui/Window.h"

#include "platform/ui/ThreadQueue.h"
#include "platform/ui/WindowTable.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>
#include <utility>

namespace fz::ui {
namespace {

struct WindowObject {
    WindowHandle parent = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::uint32_t style = 0;
    WindowProc proc;
    std::string name;
    std::shared_ptr<detail::ThreadQueue> thread;
    std::vector<WindowHandle> children;
    std::shared_ptr<detail::WindowSurface> surface; // top-level windows only
};

struct WindowTableState {
    std::mutex mutex;
    std::unordered_map<WindowHandle, WindowObject> windows;
};

WindowTableState& Table() {
    static WindowTableState* table = new WindowTableState; // outlives every thread's windows
    return *table;
}

// Handles are never reused; they start well away from 0 and small integers.
std::atomic<WindowHandle> g_nextHandle{0x10010};

WindowObject* Find(WindowTableState& table, WindowHandle window) {
    auto it = table.windows.find(window);
    return it == table.windows.end() ? nullptr : &it->second;
}

bool IsChild(const WindowObject& object) {
    return object.parent != 0;
}

void ResizeSurface(detail::WindowSurface& surface, int width, int height) {
    std::lock_guard lock(surface.mutex);
    surface.width = width;
    surface.height = height;
    surface.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

std::shared_ptr<detail::WindowSurface> NewSurface(int width, int height) {
    auto surface = std::make_shared<detail::WindowSurface>();
    ResizeSurface(*surface, width, height);
    return surface;
}

// Children before their parent, so that destroying goes from the leaves up.
void CollectSubtree(WindowTableState& table, WindowHandle window,
                    std::vector<WindowHandle>* order) {
    WindowObject* object = Find(table, window);
    if (!object)
        return;
    for (WindowHandle child : object->children)
        CollectSubtree(table, child, order);
    order->push_back(window);
}

void Unlink(WindowTableState& table, WindowHandle window, WindowHandle parent) {
    if (WindowObject* p = Find(table, parent))
        std::erase(p->children, window);
}

bool IsInSubtree(WindowTableState& table, WindowHandle root, WindowHandle candidate) {
    for (WindowHandle at = candidate; at != 0;) {
        if (at == root)
            return true;
        WindowObject* object = Find(table, at);
        at = object ? object->parent : 0;
    }
    return false;
}

Rect Intersect(const Rect& a, const Rect& b) {
    Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.Empty())
        return Rect{};
    return r;
}

std::intptr_t CallProc(const WindowProc& proc, WindowHandle window, std::uint32_t message,
                       std::uintptr_t wParam, std::intptr_t lParam) {
    return proc ? proc(window, message, wParam, lParam) : 0;
}

} // namespace

namespace detail {

bool FindDrawTarget(WindowHandle window, DrawTarget* target) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    int originX = 0;
    int originY = 0;
    Rect clip{0, 0, object->width, object->height};
    bool visible = true;
    WindowHandle at = window;
    while (object->parent != 0) {
        visible = visible && (object->style & kWsVisible);
        originX += object->x;
        originY += object->y;
        clip.left += object->x;
        clip.right += object->x;
        clip.top += object->y;
        clip.bottom += object->y;
        at = object->parent;
        object = Find(table, at);
        if (!object)
            return false;
        // The parent's client area, in its own client coordinates (the offsets above are
        // relative to it).
        clip = Intersect(clip, Rect{0, 0, object->width, object->height});
    }
    visible = visible && (object->style & kWsVisible);
    target->surface = object->surface;
    target->topLevel = at;
    target->originX = originX;
    target->originY = originY;
    target->clip = visible ? clip : Rect{};
    return target->surface != nullptr;
}

bool FindWindowProc(WindowHandle window, WindowProc* proc, std::shared_ptr<ThreadQueue>* thread) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    if (proc)
        *proc = object->proc;
    if (thread)
        *thread = object->thread;
    return true;
}

} // namespace detail

WindowHandle CreateWindow(const WindowDesc& desc) {
    if (desc.width < 0 || desc.height < 0)
        return 0;
    WindowObject object;
    object.x = desc.x;
    object.y = desc.y;
    object.width = desc.width;
    object.height = desc.height;
    object.style = desc.style;
    object.proc = desc.proc;
    object.name = desc.name;
    object.thread = detail::ThreadQueue::Current();
    const bool child = (desc.style & kWsChild) && desc.parent != 0;
    if (!child) {
        object.x = 0;
        object.y = 0;
        object.style &= ~kWsChild;
        object.surface = NewSurface(desc.width, desc.height);
    }
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    if (child) {
        WindowObject* parent = Find(table, desc.parent);
        if (!parent)
            return 0;
        object.parent = desc.parent;
    }
    const WindowHandle handle = g_nextHandle.fetch_add(4);
    if (child)
        Find(table, desc.parent)->children.push_back(handle);
    table.windows.emplace(handle, std::move(object));
    return handle;
}

bool DestroyWindow(WindowHandle window) {
    auto& table = Table();
    std::vector<std::pair<WindowHandle, WindowProc>> doomed;
    {
        std::lock_guard lock(table.mutex);
        if (!Find(table, window))
            return false;
        std::vector<WindowHandle> order;
        CollectSubtree(table, window, &order);
        for (WindowHandle h : order)
            doomed.emplace_back(h, Find(table, h)->proc);
    }
    for (auto& [h, proc] : doomed)
        CallProc(proc, h, kWmDestroy, 0, 0);
    std::lock_guard lock(table.mutex);
    for (auto& [h, proc] : doomed) {
        WindowObject* object = Find(table, h);
        if (!object)
            continue; // destroyed meanwhile by its own kWmDestroy
        Unlink(table, h, object->parent);
        table.windows.erase(h);
    }
    return true;
}

bool IsWindow(WindowHandle window) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    return Find(table, window) != nullptr;
}

WindowHandle GetParent(WindowHandle window) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    return object ? object->parent : 0;
}

WindowHandle GetTopLevelWindow(WindowHandle window) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    while (object && object->parent != 0) {
        window = object->parent;
        object = Find(table, window);
    }
    return object ? window : 0;
}

bool SetParent(WindowHandle window, WindowHandle parent) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    if (parent != 0 && (!Find(table, parent) || IsInSubtree(table, window, parent)))
        return false;
    if (object->parent == parent)
        return true;
    Unlink(table, window, object->parent);
    object->parent = parent;
    if (parent != 0) {
        object->style |= kWsChild;
        object->surface.reset();
        Find(table, parent)->children.push_back(window);
    } else {
        object->style &= ~kWsChild;
        object->x = 0;
        object->y = 0;
        object->surface = NewSurface(object->width, object->height);
    }
    return true;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
    if (width < 0 || height < 0)
        return false;
    WindowProc proc;
    bool resized = false;
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        WindowObject* object = Find(table, window);
        if (!object)
            return false;
        resized = object->width != width || object->height != height;
        object->width = width;
        object->height = height;
        if (IsChild(*object)) {
            object->x = x;
            object->y = y;
        } else if (resized) {
            ResizeSurface(*object->surface, width, height);
        }
        proc = object->proc;
    }
    if (resized) {
        const auto size = static_cast<std::intptr_t>((static_cast<std::uint32_t>(height) << 16) |
                                                     (static_cast<std::uint32_t>(width) & 0xFFFF));
        CallProc(proc, window, kWmSize, 0, size);
    }
    return true;
}

bool GetWindowRect(WindowHandle window, Rect* rect) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object || !rect)
        return false;
    *rect = Rect{object->x, object->y, object->x + object->width, object->y + object->height};
    return true;
}

bool GetClientRect(WindowHandle window, Rect* rect) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object || !rect)
        return false;
    *rect = Rect{0, 0, object->width, object->height};
    return true;
}

bool ShowWindow(WindowHandle window, bool visible) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    if (visible)
        object->style |= kWsVisible;
    else
        object->style &= ~kWsVisible;
    return true;
}

bool IsWindowVisible(WindowHandle window) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    while (object) {
        if (!(object->style & kWsVisible))
            return false;
        object = object->parent ? Find(table, object->parent) : nullptr;
    }
    return true;
}

std::uint32_t GetWindowStyle(WindowHandle window) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    return object ? object->style : 0;
}

bool SetWindowStyle(WindowHandle window, std::uint32_t style) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    WindowObject* object = Find(table, window);
    if (!object)
        return false;
    style &= ~kWsChild;
    if (IsChild(*object))
        style |= kWsChild;
    object->style = style;
    return true;
}

} // namespace fz::ui
