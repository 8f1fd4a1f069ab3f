#include "fzctrl/play/MoviePlayback.h"

#include "fzctrl/play/MovieFileKind.h"
#include "fzctrl/play/MovieFrameHandler.h"

namespace fz {

MoviePlayback::MoviePlayback()
    : m_drawer(std::make_shared<CPreviewDrawer>()) {}

MoviePlayback::~MoviePlayback() {
    m_player.Close();
}

bool MoviePlayback::PlayStart(const std::string& hostPath) {
    if (hostPath.size() <= 3)
        return false;
    if (!IsKqffFile(hostPath) && !IsYhavFile(hostPath))
        return false;
    MediaFormat format;
    if (!QueryMediaFormat(hostPath, format))
        return false;
    if (m_player.GetState() != kPlayerClosed)
        return true;
    m_drawer->Close();
    m_drawer->SetFormat(format.picture);
    m_drawer->SetTarget(m_target.window, m_target.left, m_target.top,
                        m_target.right - m_target.left, m_target.bottom - m_target.top);
    m_drawer->Open();
    if (m_player.Open(hostPath) != kOpenOk)
        return false;
    m_player.SetNotifyWindow(m_target.window);
    m_player.SetFrameCallback([drawer = m_drawer](const std::uint8_t* jpeg, std::uint32_t size) {
        HandleMovieFrame(jpeg, size, *drawer);
    });
    m_player.Start();
    return true;
}

void MoviePlayback::PlayStop() {
    m_player.Close();
    m_drawer->Close();
}

} // namespace fz
