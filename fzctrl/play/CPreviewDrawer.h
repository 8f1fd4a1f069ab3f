#pragma once

#include "fzctrl/play/MediaFormats.h"
#include "platform/ui/DrawDib.h"
#include "platform/ui/Window.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace fz {

class CFrameImage;

// Draws the player's decoded frames into the preview rectangle of the host's window, stretched
// to fill it. One per engine, living with it. SetFormat, SetTarget, Open and Close run on the
// control's thread; Draw on the player's audio thread (or the control's thread while playback
// starts). Open, Close and Draw take the drawer's lock, so a draw never overlaps an open or a
// close.
class CPreviewDrawer {
public:
    CPreviewDrawer() = default;
    ~CPreviewDrawer();
    CPreviewDrawer(const CPreviewDrawer&) = delete;
    CPreviewDrawer& operator=(const CPreviewDrawer&) = delete;

    // The movie's picture format, as the format query reported it.
    void SetFormat(const BitmapInfoHeader& format);
    // The window and the rectangle (client coordinates) the frames are stretched into.
    void SetTarget(ui::WindowHandle window, int x, int y, int width, int height);

    // Closes, then opens a drawing handle and marks the drawer open. A handle that cannot be
    // opened leaves the drawer open and every draw failing harmlessly.
    void Open();
    // When open: clears the open flag and closes the handle.
    void Close();
    bool IsOpen() const;

    // When open: stretches the whole frame into the target rectangle. A frame of the movie's
    // own size is drawn as the movie's format describes it; a frame whose size differs is drawn
    // as its own header describes it, so that no row is ever read beyond its buffer. Returns
    // whether anything was drawn.
    bool Draw(const CFrameImage& image);

private:
    mutable std::mutex m_lock;
    bool m_open = false;
    BitmapInfoHeader m_format;
    ui::WindowHandle m_window = 0;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    ui::DrawDibHandle m_draw = 0;
};

} // namespace fz
