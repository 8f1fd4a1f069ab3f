#include "platform/media/renderers/VideoRenderer.h"

#include "platform/media/graph/RendererClasses.h"

#include <cstdlib>

namespace fz::media {
namespace {

constexpr long kInitialStyle = ui::kWsOverlapped | ui::kWsClipChildren;
// Styles a video window cannot take (disabled, scroll bars, minimised, maximised).
constexpr long kRefusedStyles = 0x08000000 | 0x00200000 | 0x00100000 | 0x20000000 | 0x01000000;

ui::WindowHandle CreateRendererWindow() {
    ui::WindowDesc desc;
    desc.width = 320;
    desc.height = 240;
    desc.style = static_cast<std::uint32_t>(kInitialStyle); // hidden
    desc.name = "Video Renderer";
    return ui::CreateWindow(desc);
}

// The picture format of a video type this renderer draws, or false.
bool PictureFormat(const CMediaType& type, ui::DibFormat* format) {
    if (*type.Type() != MEDIATYPE_Video)
        return false;
    int bits = 0;
    if (*type.Subtype() == MEDIASUBTYPE_RGB32)
        bits = 32;
    else if (*type.Subtype() == MEDIASUBTYPE_RGB24)
        bits = 24;
    else
        return false;
    const VIDEOINFOHEADER* info = type.VideoInfo();
    if (!info)
        return false;
    const BITMAPINFOHEADER& header = info->bmiHeader;
    const ui::DibFormat candidate{header.biWidth, header.biHeight, header.biBitCount,
                                  header.biCompression};
    if (header.biBitCount != bits || ui::DibImageSize(candidate) == 0)
        return false;
    *format = candidate;
    return true;
}

} // namespace

CVideoRenderer::CVideoRenderer(IUnknown* outer)
    : CBaseRenderer("Video Renderer", outer, CLSID_VideoRenderer)
    , m_window(CreateRendererWindow())
    , m_draw(ui::DrawDibOpen()) {}

CVideoRenderer::~CVideoRenderer() {
    ui::DrawDibClose(m_draw);
    ui::DestroyWindow(m_window);
}

HRESULT CVideoRenderer::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IVideoWindow::kIid)
        return com::GetInterface(static_cast<IVideoWindow*>(this), object);
    return CBaseRenderer::NonDelegatingQueryInterface(iid, object);
}

HRESULT CVideoRenderer::CheckMediaType(const CMediaType* type) {
    ui::DibFormat format;
    return type && PictureFormat(*type, &format) ? com::S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CVideoRenderer::SetMediaType(const CMediaType* type) {
    ui::DibFormat format;
    if (!type || !PictureFormat(*type, &format))
        return VFW_E_TYPE_NOT_ACCEPTED;
    bool sizeWindow = false;
    {
        std::lock_guard lock(m_mutex);
        m_format = format;
        sizeWindow = !m_placed;
    }
    if (sizeWindow) {
        ui::Rect rect;
        ui::GetWindowRect(m_window, &rect);
        ui::MoveWindow(m_window, rect.left, rect.top, format.width, std::abs(format.height));
    }
    return CBaseRenderer::SetMediaType(type);
}

HRESULT CVideoRenderer::Draw(IMediaSample* sample) {
    if (!sample)
        return com::E_POINTER;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == com::S_OK && changed) {
        ui::DibFormat format;
        if (PictureFormat(CMediaType(*changed), &format)) {
            std::lock_guard lock(m_mutex);
            m_format = format;
        }
        DeleteMediaType(changed);
    }
    std::uint8_t* data = nullptr;
    if (com::Failed(sample->GetPointer(&data)) || !data)
        return com::S_OK;
    const long length = std::min(sample->GetActualDataLength(), sample->GetSize());
    ui::DibFormat format;
    {
        std::lock_guard lock(m_mutex);
        format = m_format;
    }
    ui::Rect client;
    if (length <= 0 || !ui::GetClientRect(m_window, &client))
        return com::S_OK;
    const ui::DeviceContext dc = ui::GetDC(m_window);
    const bool drawn = ui::DrawDibDraw(m_draw, dc, 0, 0, client.Width(), client.Height(), format,
                                       data, static_cast<std::size_t>(length), 0, 0, format.width,
                                       std::abs(format.height), 0);
    ui::ReleaseDC(m_window, dc);
    if (drawn) {
        std::lock_guard lock(m_mutex);
        ++m_drawn;
    }
    return com::S_OK;
}

HRESULT CVideoRenderer::DoRenderSample(IMediaSample* sample) {
    return Draw(sample);
}

void CVideoRenderer::OnReceiveFirstSample(IMediaSample* sample) {
    // While paused the first picture is shown, as a still.
    Draw(sample);
}

HRESULT CVideoRenderer::OnStartStreaming() {
    bool show = false;
    {
        std::lock_guard lock(m_mutex);
        show = m_autoShow;
    }
    if (show)
        ui::ShowWindow(m_window, true);
    return CBaseRenderer::OnStartStreaming();
}

long CVideoRenderer::PicturesDrawn() const {
    std::lock_guard lock(m_mutex);
    return m_drawn;
}

HRESULT CVideoRenderer::put_Caption(const char* caption) {
    if (!caption)
        return com::E_POINTER;
    std::lock_guard lock(m_mutex);
    m_caption = caption;
    return com::S_OK;
}

HRESULT CVideoRenderer::put_WindowStyle(long style) {
    if (style & kRefusedStyles)
        return com::E_INVALIDARG;
    // Visibility stays with put_Visible.
    const std::uint32_t visible = ui::GetWindowStyle(m_window) & ui::kWsVisible;
    const auto newStyle = (static_cast<std::uint32_t>(style) & ~ui::kWsVisible) | visible;
    return ui::SetWindowStyle(m_window, newStyle) ? com::S_OK : com::E_FAIL;
}

HRESULT CVideoRenderer::get_WindowStyle(long* style) {
    if (!style)
        return com::E_POINTER;
    *style = static_cast<long>(ui::GetWindowStyle(m_window));
    return com::S_OK;
}

HRESULT CVideoRenderer::put_AutoShow(long autoShow) {
    std::lock_guard lock(m_mutex);
    m_autoShow = autoShow != OAFALSE;
    return com::S_OK;
}

HRESULT CVideoRenderer::put_Visible(long visible) {
    return ui::ShowWindow(m_window, visible != OAFALSE) ? com::S_OK : com::E_FAIL;
}

HRESULT CVideoRenderer::get_Visible(long* visible) {
    if (!visible)
        return com::E_POINTER;
    *visible = (ui::GetWindowStyle(m_window) & ui::kWsVisible) ? OATRUE : OAFALSE;
    return com::S_OK;
}

HRESULT CVideoRenderer::Place(long left, long top, long width, long height) {
    if (width < 0 || height < 0 || left < -0x7FFFFFFF || left > 0x7FFFFFFF || top < -0x7FFFFFFF ||
        top > 0x7FFFFFFF || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return com::E_INVALIDARG;
    {
        std::lock_guard lock(m_mutex);
        m_placed = true;
    }
    return ui::MoveWindow(m_window, static_cast<int>(left), static_cast<int>(top),
                          static_cast<int>(width), static_cast<int>(height))
               ? com::S_OK
               : com::E_FAIL;
}

HRESULT CVideoRenderer::SetWindowPosition(long left, long top, long width, long height) {
    return Place(left, top, width, height);
}

HRESULT CVideoRenderer::GetWindowPosition(long* left, long* top, long* width, long* height) {
    if (!left || !top || !width || !height)
        return com::E_POINTER;
    ui::Rect rect;
    if (!ui::GetWindowRect(m_window, &rect))
        return com::E_FAIL;
    *left = rect.left;
    *top = rect.top;
    *width = rect.Width();
    *height = rect.Height();
    return com::S_OK;
}

HRESULT CVideoRenderer::put_Left(long left) {
    long x, y, w, h;
    GetWindowPosition(&x, &y, &w, &h);
    return Place(left, y, w, h);
}

HRESULT CVideoRenderer::get_Left(long* left) {
    long y, w, h;
    return GetWindowPosition(left, &y, &w, &h);
}

HRESULT CVideoRenderer::put_Top(long top) {
    long x, y, w, h;
    GetWindowPosition(&x, &y, &w, &h);
    return Place(x, top, w, h);
}

HRESULT CVideoRenderer::get_Top(long* top) {
    long x, w, h;
    return GetWindowPosition(&x, top, &w, &h);
}

HRESULT CVideoRenderer::put_Width(long width) {
    long x, y, w, h;
    GetWindowPosition(&x, &y, &w, &h);
    return Place(x, y, width, h);
}

HRESULT CVideoRenderer::get_Width(long* width) {
    long x, y, h;
    return GetWindowPosition(&x, &y, width, &h);
}

HRESULT CVideoRenderer::put_Height(long height) {
    long x, y, w, h;
    GetWindowPosition(&x, &y, &w, &h);
    return Place(x, y, w, height);
}

HRESULT CVideoRenderer::get_Height(long* height) {
    long x, y, w;
    return GetWindowPosition(&x, &y, &w, height);
}

HRESULT CVideoRenderer::put_Owner(OAHWND owner) {
    if (!ui::SetParent(m_window, static_cast<ui::WindowHandle>(owner)))
        return com::E_INVALIDARG;
    std::lock_guard lock(m_mutex);
    m_owner = owner;
    return com::S_OK;
}

HRESULT CVideoRenderer::get_Owner(OAHWND* owner) {
    if (!owner)
        return com::E_POINTER;
    std::lock_guard lock(m_mutex);
    *owner = m_owner;
    return com::S_OK;
}

HRESULT CreateVideoRenderer(IUnknown* outer, const IID& iid, void** object) {
    return com::CreateAggregatableInstanceOf<CVideoRenderer>(outer, iid, object);
}

} // namespace fz::media
