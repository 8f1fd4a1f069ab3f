#pragma once

#include "platform/media/base/BaseRenderer.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/ui/DrawDib.h"
#include "platform/ui/Window.h"

#include <mutex>
#include <string>

namespace fz::media {

// The video renderer (CLSID_VideoRenderer): takes uncompressed RGB pictures (RGB32 or RGB24,
// FORMAT_VideoInfo, bottom-up or top-down), presents each one when the graph's clock reaches
// its start time (the renderer base waits, and holds while paused), and stretches it into
// its window with the platform's stretch drawing.
//
// The window: created with the renderer on the creating thread (its window thread), hidden,
// top-level and sized to the pictures until told otherwise. IVideoWindow places it:
// put_Owner makes it a child of the owner's window (0: top-level again), put_Left / Top /
// Width / Height and SetWindowPosition set its rectangle in the owner's client area,
// put_Visible shows or hides it, put_WindowStyle sets its style. With AutoShow (the default)
// it shows itself when the graph leaves Stopped. The window goes with the renderer.
//
// Threads: IVideoWindow on the application's thread; DoRenderSample and OnReceiveFirstSample
// on the upstream streaming thread. Drawing into a hidden window draws nothing; a sample
// shorter than its picture is skipped (not a streaming error).
class CVideoRenderer final : public CBaseRenderer, public IVideoWindow {
public:
    FZ_COM_DELEGATING_IUNKNOWN
    explicit CVideoRenderer(IUnknown* outer);

    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    void OnReceiveFirstSample(IMediaSample* sample) override;
    HRESULT OnStartStreaming() override;

    // IVideoWindow
    HRESULT put_Caption(const char* caption) override;
    HRESULT put_WindowStyle(long style) override;
    HRESULT get_WindowStyle(long* style) override;
    HRESULT put_AutoShow(long autoShow) override;
    HRESULT put_Visible(long visible) override;
    HRESULT get_Visible(long* visible) override;
    HRESULT put_Left(long left) override;
    HRESULT get_Left(long* left) override;
    HRESULT put_Width(long width) override;
    HRESULT get_Width(long* width) override;
    HRESULT put_Top(long top) override;
    HRESULT get_Top(long* top) override;
    HRESULT put_Height(long height) override;
    HRESULT get_Height(long* height) override;
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT get_Owner(OAHWND* owner) override;
    HRESULT SetWindowPosition(long left, long top, long width, long height) override;
    HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) override;

    // The renderer's own window (for hosts and tests).
    ui::WindowHandle Window() const { return m_window; }
    // Pictures drawn since the renderer was created.
    long PicturesDrawn() const;

private:
    ~CVideoRenderer() override;

    HRESULT Draw(IMediaSample* sample);
    HRESULT Place(long left, long top, long width, long height);

    const ui::WindowHandle m_window;
    const ui::DrawDibHandle m_draw;

    mutable std::mutex m_mutex; // guards the fields below
    ui::DibFormat m_format;
    bool m_placed = false; // a position was set: the picture size no longer sizes the window
    bool m_autoShow = true;
    OAHWND m_owner = 0;
    std::string m_caption;
    long m_drawn = 0;
};

} // namespace fz::media
