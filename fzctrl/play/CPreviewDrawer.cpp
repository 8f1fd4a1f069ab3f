#include "fzctrl/play/CPreviewDrawer.h"

#include "fzctrl/play/CFrameImage.h"

namespace fz {

CPreviewDrawer::~CPreviewDrawer() {
    Close();
}

void CPreviewDrawer::SetFormat(const BitmapInfoHeader& format) {
    std::lock_guard lock(m_lock);
    m_format = format;
}

void CPreviewDrawer::SetTarget(ui::WindowHandle window, int x, int y, int width, int height) {
    std::lock_guard lock(m_lock);
    m_window = window;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
}

void CPreviewDrawer::Open() {
    Close();
    std::lock_guard lock(m_lock);
    m_draw = ui::DrawDibOpen();
    m_open = true;
}

void CPreviewDrawer::Close() {
    std::lock_guard lock(m_lock);
    if (!m_open)
        return;
    m_open = false;
    if (m_draw != 0)
        ui::DrawDibClose(m_draw);
    m_draw = 0;
}

bool CPreviewDrawer::IsOpen() const {
    std::lock_guard lock(m_lock);
    return m_open;
}

bool CPreviewDrawer::Draw(const CFrameImage& image) {
    std::lock_guard lock(m_lock);
    if (!m_open || image.Pixels() == nullptr)
        return false;
    const BitmapInfoHeader& frame = image.Header();
    const bool movieSize = frame.width == m_format.width && frame.height == m_format.height &&
                           m_format.bitCount == 24 && m_format.compression == 0;
    const ui::DibFormat format = ui::DibFormatOf(movieSize ? m_format : frame);
    const std::size_t bytes = image.RowBytes() * static_cast<std::size_t>(frame.height);
    const ui::DeviceContext dc = ui::GetDC(m_window);
    const bool drawn = ui::DrawDibDraw(m_draw, dc, m_x, m_y, m_width, m_height, format,
                                       image.Pixels(), bytes, 0, 0, format.width, format.height, 0);
    ui::ReleaseDC(m_window, dc);
    return drawn;
}

} // namespace fz
