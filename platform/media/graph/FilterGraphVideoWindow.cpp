#include "platform/media/graph/FilterGraphObject.h"

namespace fz::media {

using com::ComPtr;
using com::S_OK;

HRESULT CFilterGraph::WithVideoWindow(const std::function<HRESULT(IVideoWindow*)>& call) {
    ComPtr<IVideoWindow> window;
    {
        std::lock_guard lock(m_lock);
        for (const Member& member : m_members)
            if (member.filter->QueryInterface(IVideoWindow::kIid, window.PutVoid()) == S_OK)
                break;
    }
    if (!window)
        return com::E_NOINTERFACE;
    return call(window.Get());
}

HRESULT CFilterGraph::put_Caption(const char* caption) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Caption(caption); });
}
HRESULT CFilterGraph::put_WindowStyle(long style) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_WindowStyle(style); });
}
HRESULT CFilterGraph::get_WindowStyle(long* style) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_WindowStyle(style); });
}
HRESULT CFilterGraph::put_AutoShow(long autoShow) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_AutoShow(autoShow); });
}
HRESULT CFilterGraph::put_Visible(long visible) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Visible(visible); });
}
HRESULT CFilterGraph::get_Visible(long* visible) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Visible(visible); });
}
HRESULT CFilterGraph::put_Left(long left) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Left(left); });
}
HRESULT CFilterGraph::get_Left(long* left) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Left(left); });
}
HRESULT CFilterGraph::put_Width(long width) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Width(width); });
}
HRESULT CFilterGraph::get_Width(long* width) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Width(width); });
}
HRESULT CFilterGraph::put_Top(long top) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Top(top); });
}
HRESULT CFilterGraph::get_Top(long* top) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Top(top); });
}
HRESULT CFilterGraph::put_Height(long height) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Height(height); });
}
HRESULT CFilterGraph::get_Height(long* height) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Height(height); });
}
HRESULT CFilterGraph::put_Owner(OAHWND owner) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->put_Owner(owner); });
}
HRESULT CFilterGraph::get_Owner(OAHWND* owner) {
    return WithVideoWindow([&](IVideoWindow* w) { return w->get_Owner(owner); });
}
HRESULT CFilterGraph::SetWindowPosition(long left, long top, long width, long height) {
    return WithVideoWindow(
        [&](IVideoWindow* w) { return w->SetWindowPosition(left, top, width, height); });
}
HRESULT CFilterGraph::GetWindowPosition(long* left, long* top, long* width, long* height) {
    return WithVideoWindow(
        [&](IVideoWindow* w) { return w->GetWindowPosition(left, top, width, height); });
}

} // namespace fz::media
